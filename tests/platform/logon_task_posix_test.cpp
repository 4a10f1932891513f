// The POSIX stand-in's autostart entry: where it is written, what its Exec line runs, what
// counts as switched off, and that deleting it touches nothing else.
#include <gtest/gtest.h>

#include <unistd.h>

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
using test_support::ScopedEnvironment;
using test_support::ScopedTempFolder;

constexpr char kTask[] = "PellanorStartup";

std::string fileText(const fs::path& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class LogonTaskPosix : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.valid());
        m_environment.set("HOME", home().string());
        m_environment.set("XDG_CONFIG_HOME", (m_temp.path() / "config").string());
    }
    fs::path home() const { return m_temp.path() / "home"; }
    fs::path entry() const { return m_temp.path() / "config/autostart/PellanorStartup.desktop"; }
    ScopedEnvironment& environment() { return m_environment; }

private:
    ScopedTempFolder m_temp;
    ScopedEnvironment m_environment;
};

TEST_F(LogonTaskPosix, WritesAnEntryThatRunsTheProgramAndDeletesOnlyThatEntry) {
    const fs::path folder = entry().parent_path();
    fs::create_directories(folder);
    std::ofstream(folder / "other.desktop") << "[Desktop Entry]\n";
    EXPECT_FALSE(logonTaskExists(kTask));
    // A link at the entry's place is replaced, never written through.
    const fs::path outside = home() / "keep.txt";
    fs::create_directories(home());
    std::ofstream(outside) << "keep";
    fs::create_symlink(outside, entry());

    ASSERT_TRUE(createLogonTask(kTask, "/opt/My Apps/100%/$x/Pellanor-startup"));
    EXPECT_TRUE(logonTaskExists(kTask));
    EXPECT_FALSE(fs::is_symlink(entry()));
    EXPECT_NE(fileText(entry()).find("\nExec=\"/opt/My Apps/100%%/\\\\$x/Pellanor-startup\"\n"),
              std::string::npos)
        << fileText(entry());

    EXPECT_TRUE(deleteLogonTask(kTask));
    EXPECT_FALSE(logonTaskExists(kTask));
    EXPECT_TRUE(deleteLogonTask(kTask)) << "no entry left is success";
    EXPECT_TRUE(fs::exists(folder / "other.desktop"));
    EXPECT_EQ(fileText(outside), "keep");
}

TEST_F(LogonTaskPosix, AnEntryHiddenInItsMainGroupIsNoTask) {
    fs::create_directories(entry().parent_path());
    const struct {
        const char* text;
        bool exists;
    } cases[] = {
        {"[Desktop Entry]\nExec=x\nHidden = true\n", false},
        {"[Desktop Entry]\nExec=x\nHidden=false\n", true},
        {"[Desktop Entry]\nExec=x\n[Desktop Action a]\nHidden=true\n", true},
    };
    for (const auto& entryCase : cases) {
        SCOPED_TRACE(entryCase.text);
        std::ofstream(entry(), std::ios::trunc) << entryCase.text;
        EXPECT_EQ(logonTaskExists(kTask), entryCase.exists);
    }
}

TEST_F(LogonTaskPosix, UsesTheHomeConfigFolderWhenTheXdgValueIsNotAbsolute) {
    environment().set("XDG_CONFIG_HOME", "relative/config");
    ASSERT_TRUE(createLogonTask(kTask, "/usr/bin/true"));
    EXPECT_TRUE(fs::exists(home() / ".config/autostart/PellanorStartup.desktop"));
    EXPECT_FALSE(fs::exists("relative"));
}

}  // namespace
}  // namespace pellanor::platform
