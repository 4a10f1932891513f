// The Windows side of the shell where it differs by design: the ANSI code-page round trip, and
// the file manager taken from the system's folder.
#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/executable.h"
#include "platform/shell.h"
#include "platform/win32/handle.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

TEST(ThroughAnsiCodePage, KeepsWhatTheCodePageHoldsAndLosesTheRest) {
    EXPECT_EQ(throughAnsiCodePage("C:\\Users\\Public\\Desktop"), "C:\\Users\\Public\\Desktop");
    EXPECT_EQ(throughAnsiCodePage(""), "");
    if (GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
    EXPECT_EQ(throughAnsiCodePage("Zo\xC3\xAB"), "Zo\xC3\xAB");
    EXPECT_EQ(throughAnsiCodePage("a\xE7\xBC\xA9z"), "a?z");
}

// The file manager a test started is its child; without a desktop (Wine here) it would stay and
// hold the test's output open, so it is ended.
void endChildFileManagers() {
    const win32::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid()) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID != GetCurrentProcessId() ||
            _wcsicmp(entry.szExeFile, L"explorer.exe") != 0) {
            continue;
        }
        const win32::ScopedHandle child(
            OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        // Its working folder is the temporary one, which can only go once the child has gone.
        if (child.valid() && TerminateProcess(child.get(), 0)) {
            WaitForSingleObject(child.get(), 5000);
        }
    }
}

// A program named explorer.exe in the current folder must not be started in place of the file
// manager. The stand-in writes "launched.txt" into its working folder, the current one.
TEST(OpenInFileManager, NeverStartsAnExplorerFromTheCurrentFolder) {
    namespace fs = std::filesystem;
    test_support::ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    const fs::path child = fs::u8path(executablePath()).parent_path() / "shell_child.exe";
    ASSERT_TRUE(fs::exists(child));
    fs::copy_file(child, temp.path() / "explorer.exe");
    const fs::path previous = fs::current_path();
    fs::current_path(temp.path());
    const bool started = openInFileManager(temp.path().u8string());
    fs::current_path(previous);
    EXPECT_TRUE(started);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        ASSERT_FALSE(fs::exists(temp.path() / "launched.txt"));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    endChildFileManagers();
}

}  // namespace
}  // namespace pellanor::platform
