// The POSIX stand-in's autostart entry: what its Exec line runs, what counts as switched off,
// and that writing and deleting it touch nothing else.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/logon_task.h"
#include "tests/platform/scoped_environment.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

constexpr char kTask[] = "PellanorStartup";

std::string fileText(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

class LogonTaskPosix : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.valid());
        m_environment.set("XDG_CONFIG_HOME", (m_temp.path() / "config").string());
        fs::create_directories(folder());
    }
    fs::path folder() const { return m_temp.path() / "config/autostart"; }
    fs::path entry() const { return folder() / "PellanorStartup.desktop"; }
    fs::path outside() const { return m_temp.path() / "keep.txt"; }

private:
    test_support::ScopedTempFolder m_temp;
    test_support::ScopedEnvironment m_environment;
};

TEST_F(LogonTaskPosix, ReplacesALinkWithAnEntryRunningTheProgramAndDeletesOnlyThatEntry) {
    std::ofstream(folder() / "other.desktop") << "[Desktop Entry]\n";
    std::ofstream(outside()) << "keep";
    fs::create_symlink(outside(), entry());

    ASSERT_TRUE(createLogonTask(kTask, "/opt/My Apps/100%/$x/Pellanor-startup"));
    EXPECT_TRUE(logonTaskExists(kTask));
    EXPECT_EQ(fileText(outside()), "keep");
    EXPECT_NE(fileText(entry()).find("\nExec=\"/opt/My Apps/100%%/\\\\$x/Pellanor-startup\"\n"),
              std::string::npos)
        << fileText(entry());

    EXPECT_TRUE(deleteLogonTask(kTask));
    EXPECT_FALSE(logonTaskExists(kTask));
    EXPECT_TRUE(deleteLogonTask(kTask)) << "no entry left is success";
    EXPECT_TRUE(fs::exists(folder() / "other.desktop"));
    EXPECT_FALSE(createLogonTask("../escape", "/usr/bin/true"));
    EXPECT_FALSE(fs::exists(folder().parent_path() / "escape.desktop"));
}

TEST_F(LogonTaskPosix, AnEntryHiddenInItsMainGroupIsNoTask) {
    const std::pair<const char*, bool> cases[] = {
        {"[Desktop Entry]\nExec=x\nHidden = true\n", false},
        {"[Desktop Entry]\nExec=x\nHidden=false\n", true},
        {"[Desktop Entry]\nExec=x\n[Desktop Action a]\nHidden=true\n", true},
    };
    for (const auto& [text, exists] : cases) {
        std::ofstream(entry(), std::ios::trunc) << text;
        EXPECT_EQ(logonTaskExists(kTask), exists) << text;
    }
}

}  // namespace
}  // namespace pellanor::platform
