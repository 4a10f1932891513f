// The scheduled task's schtasks command lines, as a stand-in schtasks.exe beside this test
// receives them: CreateProcessW looks in the program's own folder before the system folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/logon_task.h"
#include "tests/platform/scoped_environment.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;
using test_support::ScopedEnvironment;
using test_support::ScopedTempFolder;
using Words = std::vector<std::string>;

constexpr char kTask[] = "PellanorStartup";

class LogonTaskWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.valid());
        m_environment.set("PELLANOR_SCHTASKS_LOG", log().u8string());
    }
    fs::path log() const { return m_temp.path() / "schtasks.log"; }
    ScopedEnvironment& environment() { return m_environment; }

    // Each run's arguments, in the order the runs came.
    std::vector<Words> runs() const {
        std::vector<Words> all(1);
        std::ifstream file(log());
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

private:
    ScopedTempFolder m_temp;
    ScopedEnvironment m_environment;
};

TEST_F(LogonTaskWin32, GivesSchtasksTheTaskCommandLines) {
    const std::string program = "C:\\Program Files\\Pellanor\\Pellanor-startup.exe";
    EXPECT_FALSE(logonTaskExists(kTask));
    EXPECT_TRUE(createLogonTask(kTask, program));
    EXPECT_TRUE(logonTaskExists(kTask));
    EXPECT_TRUE(deleteLogonTask(kTask));
    EXPECT_FALSE(deleteLogonTask(kTask));

    const Words query = {"/query", "/tn", kTask};
    const Words remove = {"/delete", "/tn", kTask, "/f"};
    const Words create = {"/create", "/tn", kTask, "/tr", '"' + program + '"', "/sc", "onlogon",
                          "/rl", "highest", "/f"};
    EXPECT_EQ(runs(), (std::vector<Words>{query, create, query, remove, remove}));
}

TEST_F(LogonTaskWin32, ATaskTheToolFailsToCreateIsReportedAsNotCreated) {
    environment().set("PELLANOR_SCHTASKS_FAIL", "1");
    EXPECT_FALSE(createLogonTask(kTask, "C:\\P\\Pellanor.exe"));
    EXPECT_FALSE(logonTaskExists(kTask));
    EXPECT_EQ(runs().size(), 2u);
}

}  // namespace
}  // namespace pellanor::platform
