// The Windows tools by full path from the folders the system reports, under Wine as on Windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/command_line.h"
#include "platform/system_tools.h"
#include "platform/win32/wide.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

std::string folderOf(UINT(WINAPI* query)(LPWSTR, UINT)) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = query(folder, MAX_PATH);
    return win32::toUtf8(std::wstring(folder, length));
}

TEST(SystemToolPathWin32, NamesEachToolInTheSystemsOwnFolder) {
    const std::string system = folderOf(GetSystemDirectoryW);
    const std::string windows = folderOf(GetWindowsDirectoryW);
    ASSERT_FALSE(system.empty());
    const struct {
        const char* name;
        std::string path;
    } cases[] = {
        {"cmd.exe", system + "\\cmd.exe"},
        {"cmd", system + "\\cmd.exe"},
        {"schtasks", system + "\\schtasks.exe"},
        {"powercfg.exe", system + "\\powercfg.exe"},
        {"wmic", system + "\\wbem\\wmic.exe"},
        {"WMIC.EXE", system + "\\wbem\\WMIC.EXE"},
        {"explorer.exe", windows + "\\explorer.exe"},
        {"", ""},
        {"..\\cmd.exe", ""},
        {"C:cmd.exe", ""},
        {"tools/cmd.exe", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(systemToolPath(c.name), c.path) << c.name;
}

// A file named cmd.exe in the current folder is what a bare "cmd.exe" would start first; this
// one is no program at all, so the run only succeeds when the system's own is started.
TEST(SystemToolPathWin32, StartsTheSystemsCommandInterpreterNotOnePlantedInTheCurrentFolder) {
    test_support::ScopedTempFolder temp;
    std::ofstream(temp.path() / "cmd.exe") << "not a program";
    const fs::path saved = fs::current_path();
    fs::current_path(temp.path());
    const CommandLineRun run =
        runCommandLine(systemToolCommandLine("cmd.exe /c exit 7"), 60000, ChildOutput::Discard);
    fs::current_path(saved);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 7);
}

}  // namespace
}  // namespace pellanor::platform
