// The scheduled task's schtasks command lines, as a stand-in schtasks.exe beside this test
// receives them: CreateProcessW looks in the program's own folder before the system folders.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/logon_task.h"
#include "tests/platform/scoped_environment.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

using Words = std::vector<std::string>;

// Each run's arguments, in the order the runs came.
std::vector<Words> runs(const std::string& log) {
    std::vector<Words> all(1);
    std::ifstream file(log);
    for (std::string line; std::getline(file, line);) {
        if (line == "--") {
            all.emplace_back();
        } else {
            all.back().push_back(line);
        }
    }
    all.pop_back();
    return all;
}

TEST(LogonTaskWin32, GivesSchtasksTheTaskCommandLinesAndReadsItsExitCode) {
    test_support::ScopedTempFolder temp;
    const std::string log = (temp.path() / "schtasks.log").u8string();
    test_support::ScopedEnvironment environment;
    environment.set("PELLANOR_SCHTASKS_LOG", log);
    const std::string task = "PellanorStartup";
    const std::string program = "C:\\Program Files\\Pellanor\\Pellanor-startup.exe";

    EXPECT_FALSE(logonTaskExists(task));
    EXPECT_TRUE(createLogonTask(task, program));
    EXPECT_TRUE(logonTaskExists(task));
    EXPECT_TRUE(deleteLogonTask(task));
    environment.set("PELLANOR_SCHTASKS_FAIL", "1");
    EXPECT_FALSE(createLogonTask(task, program));

    const Words query = {"/query", "/tn", task};
    const Words create = {"/create", "/tn",     task,  "/tr",     '"' + program + '"',
                          "/sc",     "onlogon", "/rl", "highest", "/f"};
    const Words remove = {"/delete", "/tn", task, "/f"};
    EXPECT_EQ(runs(log), (std::vector<Words>{query, create, query, remove, create}));
}

}  // namespace
}  // namespace pellanor::platform
