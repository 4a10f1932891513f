// The real cmd.exe reads the line it is given: quotes inside the command survive, paths with
// blanks stay whole, and the exit code and output come back.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/command_line.h"
#include "platform/executable.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;
using test_support::ScopedTempFolder;

std::string withoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

CommandLineRun capture(const std::string& commandLine) {
    return runCommandLine(commandLine, 60000, ChildOutput::Capture);
}

TEST(RunCommandLineWin32, GivesCmdTheQuotedPathsAsWritten) {
    ScopedTempFolder temp;
    const fs::path folder = temp.path() / "a b";
    fs::create_directories(folder);
    std::ofstream(folder / "x.txt", std::ios::binary) << "inside";
    const std::string file = (folder / "x.txt").u8string();

    // The outer pair of quotes is cmd's own; re-quoting would have escaped the inner ones.
    const CommandLineRun outer = capture("cmd.exe /c \"type \"" + file + "\"\"");
    EXPECT_TRUE(outer.finished);
    EXPECT_EQ(outer.exitCode, 0);
    EXPECT_EQ(outer.output, "inside");

    const CommandLineRun plain = capture("cmd.exe /c type \"" + file + "\"");
    EXPECT_EQ(plain.output, "inside");
}

TEST(RunCommandLineWin32, EchoesInnerQuotesUnchanged) {
    const CommandLineRun run = capture("cmd.exe /c echo name=\"C:\\\\pagefile.sys\" \"a  b\"");
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(withoutCarriageReturns(run.output), "name=\"C:\\\\pagefile.sys\" \"a  b\"\n");
}

TEST(RunCommandLineWin32, PassesTheExitCodeThrough) {
    EXPECT_EQ(capture("cmd.exe /c exit 7").exitCode, 7);
    EXPECT_EQ(capture("cmd.exe /c exit 0").exitCode, 0);
    // cmd reads "&" itself: the echo and the exit code both come from the one line.
    const CommandLineRun both = capture("cmd.exe /c echo first& exit 5");
    EXPECT_EQ(both.exitCode, 5);
    EXPECT_EQ(withoutCarriageReturns(both.output), "first\n");
}

TEST(RunCommandLineWin32, RemovesAFolderWithBlanksThroughRd) {
    ScopedTempFolder temp;
    const fs::path target = temp.path() / "doomed folder";
    const fs::path sentinel = temp.path() / "doomed";
    fs::create_directories(target / "inner");
    std::ofstream(target / "inner" / "f.txt") << "x";
    fs::create_directories(sentinel);
    std::ofstream(sentinel / "keep.txt") << "x";

    const CommandLineRun run = runCommandLine("cmd.exe /c rd /s /q \"" + target.u8string() + "\"",
                                              60000, ChildOutput::Discard);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(fs::exists(target));
    EXPECT_TRUE(fs::exists(sentinel / "keep.txt"));
}

TEST(RunCommandLineWin32, EndsTheToolsCmdStartedWhenTheLimitPasses) {
    ScopedTempFolder temp;
    const fs::path built = fs::u8path(executablePath()).parent_path();
    const fs::path marker = temp.path() / "late.txt";
    const std::string child = (built / "command_line_child.exe").u8string();
    // Warm up cmd.exe, so that the limit below passes while the grandchild is running.
    capture("cmd.exe /c exit 0");
    const CommandLineRun run =
        runCommandLine("cmd.exe /c \"\"" + child + "\" late \"" + marker.u8string() + "\"\"", 1000,
                       ChildOutput::Capture);
    EXPECT_FALSE(run.finished);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_FALSE(fs::exists(marker));
}

}  // namespace
}  // namespace pellanor::platform
