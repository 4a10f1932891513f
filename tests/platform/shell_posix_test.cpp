// The POSIX stand-ins where they differ from Windows by design: the XDG desktop folder, the
// freedesktop launcher file and the execute permission a downloaded program needs.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "platform/known_folders.h"
#include "platform/launch.h"
#include "platform/shell.h"
#include "platform/shortcuts.h"
#include "platform/shell_folders.h"
#include "tests/platform/scoped_environment.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;
using test_support::ScopedEnvironment;
using test_support::ScopedTempFolder;

// Execute goes exactly where read already is; nobody gains access to the contents, and no
// set-id bit survives to make it run as its owner.
TEST(AllowStarting, AddsExecuteWhereReadIsAndNothingElse) {
    ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    const fs::path file = temp.path() / "setup.exe";
    std::ofstream(file) << "#!/bin/sh\n";
    const struct {
        mode_t before, after;
    } cases[] = {{0644, 0755}, {0600, 0700}, {0640, 0750}, {0604, 0705},
                 {0755, 0755}, {0400, 0500}, {06644, 0755}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before);
        ASSERT_EQ(chmod(file.c_str(), c.before), 0);
        EXPECT_TRUE(allowStarting(file.u8string()));
        struct stat info {};
        ASSERT_EQ(stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.after);
    }
    // Before it is allowed, the system refuses to start it: the fault this exists for.
    ASSERT_EQ(chmod(file.c_str(), 0644), 0);
    LaunchRequest request;
    request.program = file.u8string();
    EXPECT_EQ(launchProcess(request).errorCode, static_cast<std::uint32_t>(EACCES));
}

TEST(XdgDesktopFolder, ComesFromUserDirsThenDefaultsAndFailsWithoutHome) {
    ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    const std::string home = temp.path().u8string();
    ScopedEnvironment env;
    env.set("HOME", home);
    env.set("XDG_CONFIG_HOME", home + "/config");

    EXPECT_EQ(desktopFolder().path, home + "/Desktop");

    fs::create_directories(temp.path() / "config");
    std::ofstream(temp.path() / "config" / "user-dirs.dirs")
        << "# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
           "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch/\"\n";
    EXPECT_EQ(desktopFolder().resultCode, 0u);
    EXPECT_EQ(desktopFolder().path, home + "/Schreibtisch");
    EXPECT_EQ(desktopFolderByItemList().path, home + "/Schreibtisch");

    env.unset("HOME");
    env.unset("XDG_CONFIG_HOME");
    EXPECT_TRUE(isFailureCode(desktopFolder().resultCode));
    EXPECT_FALSE(desktopFolderByItemList().pathConverted);
    EXPECT_EQ(desktopFolderByItemList().path, "");
}

TEST(XdgDocumentsFolder, ComesFromUserDirsThenDefaultsAndIsEmptyWithoutHome) {
    ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    const std::string home = temp.path().u8string();
    ScopedEnvironment env;
    env.set("HOME", home);
    env.set("XDG_CONFIG_HOME", home + "/config");

    EXPECT_EQ(documentsFolder(), home + "/Documents");

    fs::create_directories(temp.path() / "config");
    std::ofstream(temp.path() / "config" / "user-dirs.dirs")
        << "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\nXDG_DOCUMENTS_DIR=\"/srv/Dokumente/\"\n";
    EXPECT_EQ(documentsFolder(), "/srv/Dokumente");
    EXPECT_EQ(desktopFolder().path, home + "/Schreibtisch");

    env.unset("HOME");
    env.unset("XDG_CONFIG_HOME");
    EXPECT_EQ(documentsFolder(), "");
}

TEST(Launcher, IsAnExecutableDesktopEntryThatKeepsAwkwardCharacters) {
    ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    ShellLink link;
    link.target = "/opt/My App/run $HOME \"100%\"";
    link.arguments = "--name=\"a b\" 50% \\back\nslash";
    link.workDir = " /opt/My App";
    link.iconPath = "/opt/My App/icon.png";
    const std::string windowsShaped = temp.path().u8string() + "\\Pellanor.LNK";

    ASSERT_TRUE(saveShellLink(windowsShaped, link));
    const fs::path file = temp.path() / "Pellanor.desktop";
    ASSERT_TRUE(fs::is_regular_file(file));
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IXUSR, 0u);
    std::ifstream text(file);
    std::string first;
    std::getline(text, first);
    EXPECT_EQ(first, "[Desktop Entry]");

    const auto read = readShellLink(windowsShaped);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->target, link.target);
    EXPECT_EQ(read->arguments, link.arguments);
    EXPECT_EQ(read->workDir, link.workDir);
    EXPECT_EQ(read->iconPath, link.iconPath);
}

// A launcher saved over a link to a file elsewhere replaces the link and leaves the file alone.
TEST(Launcher, ReplacesALinkAtItsPathNotTheLinkTarget) {
    ScopedTempFolder temp;
    ScopedTempFolder outside;
    ASSERT_TRUE(temp.valid() && outside.valid());
    const fs::path sentinel = outside.path() / "sentinel.txt";
    std::ofstream(sentinel) << "keep";
    fs::create_symlink(sentinel, temp.path() / "App.desktop");

    ShellLink link;
    link.target = "/bin/true";
    ASSERT_TRUE(saveShellLink((temp.path() / "App.lnk").u8string(), link));

    EXPECT_FALSE(fs::is_symlink(temp.path() / "App.desktop"));
    std::ifstream kept(sentinel);
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "keep");
}

TEST(PosixShell, NeedsADesktopSessionAndHasNoSystemFolderDialog) {
    ScopedEnvironment env;
    env.unset("DISPLAY");
    env.unset("WAYLAND_DISPLAY");

    EXPECT_FALSE(openInFileManager("/tmp"));
    EXPECT_FALSE(openWithShell("https://example.org/"));
    EXPECT_EQ(pickFolder().outcome, FolderPickOutcome::Unavailable);
    EXPECT_EQ(throughAnsiCodePage("Zo\xC3\xAB"), "Zo\xC3\xAB");
}

}  // namespace
}  // namespace pellanor::platform
