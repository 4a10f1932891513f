// The scheduled task's schtasks command lines, as a stand-in schtasks.exe receives them. The tool
// is started by its full path in the system folder, so the stand-in is put there for the test
// (in the test run's own Wine prefix) and the system's copy put back afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/logon_task.h"
#include "platform/system_tools.h"
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

namespace fs = std::filesystem;

// The stand-in in the system's place while it lives.
class InstalledStandIn final {
public:
    InstalledStandIn() : m_target(fs::u8path(systemToolPath("schtasks"))) {
        const char* built = std::getenv("PELLANOR_SCHTASKS_STAND_IN");
        if (built == nullptr || m_target.empty()) return;
        std::string source = built;
        // ctest hands over the build tree's Unix path, which Wine shows on drive Z.
        if (!source.empty() && source.front() == '/') source = "Z:" + source;
        std::error_code error;
        m_saved = m_target;
        m_saved += ".pellanor-saved";
        if (fs::exists(m_target)) fs::rename(m_target, m_saved, error);
        m_installed = !error && fs::copy_file(fs::u8path(source), m_target, error);
    }
    InstalledStandIn(const InstalledStandIn&) = delete;
    InstalledStandIn& operator=(const InstalledStandIn&) = delete;
    ~InstalledStandIn() {
        std::error_code error;
        if (fs::exists(m_saved)) {
            fs::remove(m_target, error);
            fs::rename(m_saved, m_target, error);
        }
    }
    bool installed() const { return m_installed; }

private:
    fs::path m_target;
    fs::path m_saved;
    bool m_installed = false;
};

TEST(LogonTaskWin32, GivesSchtasksTheTaskCommandLinesAndReadsItsExitCode) {
    const InstalledStandIn standIn;
    ASSERT_TRUE(standIn.installed());
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
