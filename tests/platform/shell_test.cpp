// The shell facilities on both backends: what Wine can do for real is tested under Wine too.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/clipboard.h"
#include "platform/executable.h"
#include "platform/launch.h"
#include "platform/shortcuts.h"
#include "platform/shell_execute.h"
#include "platform/shell_folders.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;
using test_support::ScopedTempFolder;

// The helper program is built beside this test.
fs::path childProgram() {
    const fs::path folder = fs::u8path(executablePath()).parent_path();
    for (const char* name : {"shell_child.exe", "shell_child"}) {
        if (fs::exists(folder / name)) return folder / name;
    }
    return {};
}

// A copy of the helper at `folder` / name, so that its path can hold a blank.
fs::path placeChild(const fs::path& folder) {
    fs::create_directories(folder);
    const fs::path source = childProgram();
    const fs::path target = folder / source.filename();
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    return target;
}

// The lines the helper wrote in `folder`: its working folder, then its arguments. The child
// is not tracked, so the file is awaited; a first Wine start can take a while.
std::vector<std::string> awaitReport(const fs::path& folder) {
    const fs::path report = folder / "launched.txt";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(report) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::ifstream file(report, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string inQuotes(const std::string& text) { return '"' + text + '"'; }

TEST(LaunchProcess, StartsAProgramWhosePathHasABlankWithAPieceThatHasOne) {
    ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    ASSERT_FALSE(childProgram().empty());
    const fs::path program = placeChild(temp.path() / "with blank");
    const fs::path workDir = temp.path() / "work dir";
    fs::create_directories(workDir);

    LaunchRequest request;
    request.program = program.u8string();
    request.arguments = {"/S", "/D=C:\\My Apps"};
    request.commandLine = inQuotes(request.program) + " /S " + inQuotes("/D=C:\\My Apps");
    request.workDir = workDir.u8string();
    const LaunchResult result = launchProcess(request);
    ASSERT_TRUE(result.started) << result.errorCode;

    const std::vector<std::string> report = awaitReport(workDir);
    ASSERT_EQ(report.size(), 3u);
    EXPECT_TRUE(fs::equivalent(fs::u8path(report[0]), workDir)) << report[0];
    EXPECT_EQ(report[1], "/S");
    EXPECT_EQ(report[2], "/D=C:\\My Apps");
}

TEST(LaunchProcess, WithoutAWorkingFolderStartsInTheCurrentOne) {
    ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    const fs::path program = placeChild(temp.path() / "bin");
    const fs::path current = temp.path() / "current";
    fs::create_directories(current);
    const fs::path previous = fs::current_path();
    fs::current_path(current);

    LaunchRequest request;
    request.program = program.u8string();
    request.commandLine = inQuotes(request.program);
    const LaunchResult result = launchProcess(request);
    fs::current_path(previous);
    ASSERT_TRUE(result.started) << result.errorCode;

    const std::vector<std::string> report = awaitReport(current);
    ASSERT_EQ(report.size(), 1u);
    EXPECT_TRUE(fs::equivalent(fs::u8path(report[0]), current)) << report[0];
}

// A relative program is found from the caller's folder, not from the child's.
TEST(LaunchProcess, FindsARelativeProgramFromTheCurrentFolder) {
    ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    const fs::path program = placeChild(temp.path() / "bin");
    const fs::path workDir = temp.path() / "work";
    fs::create_directories(workDir);
    const fs::path previous = fs::current_path();
    fs::current_path(temp.path());

    LaunchRequest request;
    request.program = (fs::path("bin") / program.filename()).u8string();
    request.commandLine = request.program;
    request.workDir = workDir.u8string();
    const LaunchResult result = launchProcess(request);
    fs::current_path(previous);
    ASSERT_TRUE(result.started) << result.errorCode;
    EXPECT_EQ(awaitReport(workDir).size(), 1u);
}

TEST(LaunchProcess, ReportsTheSystemErrorForAMissingProgram) {
    ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    LaunchRequest request;
    request.program = (temp.path() / "missing.exe").u8string();
    request.commandLine = inQuotes(request.program);

    const LaunchResult result = launchProcess(request);
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.errorCode, 2u);  // ERROR_FILE_NOT_FOUND on Windows, ENOENT on POSIX
}

// A download is written byte by byte, as this copy is; once allowed, it starts on both systems.
TEST(AllowStarting, LetsAWrittenProgramStartAndRefusesWhatIsNoFile) {
    ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    ASSERT_FALSE(childProgram().empty());
    const fs::path program = temp.path() / "download" / childProgram().filename();
    fs::create_directories(program.parent_path());
    {
        std::ifstream source(childProgram(), std::ios::binary);
        std::ofstream target(program, std::ios::binary);
        target << source.rdbuf();
    }
    std::uint32_t error = 99;
    ASSERT_TRUE(allowStarting(program.u8string(), &error));
    EXPECT_EQ(error, 0u);
    LaunchRequest request;
    request.program = program.u8string();
    request.commandLine = inQuotes(request.program);
    request.workDir = program.parent_path().u8string();
    const LaunchResult result = launchProcess(request);
    ASSERT_TRUE(result.started) << result.errorCode;
    EXPECT_EQ(awaitReport(program.parent_path()).size(), 1u);

    EXPECT_FALSE(allowStarting((temp.path() / "missing.exe").u8string(), &error));
    EXPECT_EQ(error, 2u);  // ERROR_FILE_NOT_FOUND on Windows, ENOENT on POSIX
    EXPECT_FALSE(allowStarting(program.parent_path().u8string(), &error));
    EXPECT_NE(error, 0u);
}

// Uninstallers start this way: the parameters reach the program split as Windows splits them.
TEST(ShellExecute, StartsTheProgramWithItsParameters) {
    ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    const fs::path program = placeChild(temp.path() / "Uninstall Folder");
    const fs::path current = temp.path() / "current";
    fs::create_directories(current);
    const fs::path previous = fs::current_path();
    fs::current_path(current);
    const bool started = shellExecute(program.u8string(), "/S \"two words\" C:\\x\\");
    fs::current_path(previous);
    ASSERT_TRUE(started);

    const std::vector<std::string> report = awaitReport(current);
    ASSERT_EQ(report.size(), 4u);
    EXPECT_EQ(report[1], "/S");
    EXPECT_EQ(report[2], "two words");
    EXPECT_EQ(report[3], "C:\\x\\");
    EXPECT_FALSE(shellExecute((temp.path() / "missing.exe").u8string(), "/S"));
}

TEST(ShellLink, IsWrittenReadBackAndReplaced) {
    ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    const fs::path program = placeChild(temp.path() / "App Folder");
    const std::string linkPath = (temp.path() / "Pellanor Test.lnk").u8string();

    ShellLink link;
    link.target = program.u8string();
    link.arguments = "/S \"x y\"";
    link.workDir = program.parent_path().u8string();
    link.iconPath = program.u8string();
    ASSERT_TRUE(saveShellLink(linkPath, link));

    auto read = readShellLink(linkPath);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->target, link.target);
    EXPECT_EQ(read->arguments, link.arguments);
    EXPECT_EQ(read->workDir, link.workDir);
    EXPECT_EQ(read->iconPath, link.iconPath);
    EXPECT_EQ(read->iconIndex, 0);

    link.arguments = "--second";
    ASSERT_TRUE(saveShellLink(linkPath, link));
    read = readShellLink(linkPath);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->arguments, "--second");
}

TEST(ShellLink, CannotBeReadWhereNoneWasWritten) {
    ScopedTempFolder temp;
    ASSERT_TRUE(temp.valid());
    EXPECT_FALSE(readShellLink((temp.path() / "none.lnk").u8string()).has_value());
}

TEST(Clipboard, CarriesUnicodeTextUnchanged) {
    const std::string text = "Zo\xC3\xAB \xE7\xBC\xA9\xE7\x95\xA5 \xF0\x9F\x98\x80 end";
    if (!setClipboardText(text)) {
        // The POSIX stand-in needs a desktop session and a clipboard tool; Windows always has one.
        EXPECT_TRUE(executableBaseName().find(".exe") == std::string::npos);
        GTEST_SKIP() << "no clipboard in this session";
    }
    const auto back = clipboardText();
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, text);
}

TEST(DesktopFolder, BothRoutesNameTheSameFolder) {
    const FolderLookup byPath = desktopFolder();
    const ItemListLookup byItemList = desktopFolderByItemList();
    ASSERT_FALSE(isFailureCode(byPath.resultCode)) << std::hex << byPath.resultCode;
    ASSERT_FALSE(isFailureCode(byItemList.itemListResult));
    EXPECT_TRUE(byItemList.pathConverted);
    EXPECT_FALSE(byPath.path.empty());
    EXPECT_EQ(byPath.path, byItemList.path);
}

}  // namespace
}  // namespace pellanor::platform
