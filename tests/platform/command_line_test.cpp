// Exact command lines on both backends: what the child reads from the line, its exit code and
// its output, and the limits of the wait.
#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/executable.h"
#include "platform/launch.h"
#include "platform/processes.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;
using test_support::ScopedTempFolder;
using Words = std::vector<std::string>;

// The helper is built beside this test; the copy lives in a folder whose name has a blank.
std::string placeChild(const fs::path& folder) {
    const fs::path built = fs::u8path(executablePath()).parent_path();
    fs::path source;
    for (const char* name : {"command_line_child.exe", "command_line_child"}) {
        if (fs::exists(built / name)) source = built / name;
    }
    fs::create_directories(folder);
    const fs::path target = folder / source.filename();
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    return target.u8string();
}

// Output lines without the carriage returns a Windows C runtime adds.
Words lines(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    Words result;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        result.push_back(text.substr(start, end - start));
    }
    return result;
}

// Each byte of `text` as two hexadecimal digits.
std::string hexOf(const std::string& text) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char byte : text) {
        hex += kDigits[static_cast<unsigned char>(byte) >> 4];
        hex += kDigits[static_cast<unsigned char>(byte) & 0x0f];
    }
    return hex;
}

// Greek, Japanese and a Hebrew letter: no ANSI code page holds them all, so a narrow command
// line would bring question marks.
TEST(ProgramArguments, ReachTheProgramWholeWhateverTheCodePage) {
    ScopedTempFolder temp;
    const std::string child = placeChild(temp.path() / "child dir");
    const std::string word = "\xce\xa9\xce\xbc\xce\xad\xce\xb3\xce\xb1-\xe6\x97\xa5\xe6\x9c\xac-\xe2\x84\xb5";
    const CommandLineRun run = runCommandLine(
        '"' + child + "\" arguments " + word + " \"two words\" plain", 60000, ChildOutput::Capture);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(lines(run.output), (Words{hexOf(word), hexOf("two words"), hexOf("plain")}));
}

TEST(SplitCommandLine, FollowsTheWindowsRules) {
    EXPECT_EQ(splitCommandLine(""), Words{});
    EXPECT_EQ(splitCommandLine("tool"), Words{"tool"});
    EXPECT_EQ(splitCommandLine("tool  a\tb  "), (Words{"tool", "a", "b"}));
    EXPECT_EQ(splitCommandLine("\"C:\\Program Files\\t.exe\" x"),
              (Words{"C:\\Program Files\\t.exe", "x"}));
    // The program word knows no escapes; the other words do.
    EXPECT_EQ(splitCommandLine("C:\\dir\\t.exe C:\\dir\\ \"a b\"c"),
              (Words{"C:\\dir\\t.exe", "C:\\dir\\", "a bc"}));
    EXPECT_EQ(splitCommandLine("t a\\\"b \"c\\\\\" d\\\\\\\"e"),
              (Words{"t", "a\"b", "c\\", "d\\\"e"}));
    EXPECT_EQ(splitCommandLine("t \"\" \"x y\""), (Words{"t", "", "x y"}));
    // The trailing backslash of a quoted folder escapes the closing quote.
    EXPECT_EQ(splitCommandLine("t /F \"C:\\a b\\\" /A"), (Words{"t", "/F", "C:\\a b\" /A"}));
    EXPECT_EQ(splitCommandLine("wmic pagefileset where name=\"C:\\\\pagefile.sys\" delete"),
              (Words{"wmic", "pagefileset", "where", "name=C:\\\\pagefile.sys", "delete"}));
}

TEST(JoinCommandLine, WritesWordsThatSplitBackUnchanged) {
    const std::vector<Words> cases = {
        {"C:\\Program Files\\t.exe", "", "a b", "tab\tin", "C:\\a b\\", "\\\\server\\x"},
        {"t", "say\"hi\"", "\"", "a\\\"b", "end\\\\", "/tr", "\"C:\\P Q\\p.exe\""},
    };
    for (const Words& words : cases) EXPECT_EQ(splitCommandLine(joinCommandLine(words)), words);
    EXPECT_EQ(joinCommandLine({"schtasks", "/query", "/tn", "X"}), "schtasks /query /tn X");
}

TEST(ProcessCommandLine, GivesTheLineTheProcessWasStartedWith) {
    ScopedTempFolder temp;
    const std::string child = placeChild(temp.path() / "with blank");
    const std::string line = "\"" + child + "\" self \"a b\" say\\\"hi\\\" \"C:\\x y\\\\\"";
    const CommandLineRun run = runCommandLine(line, 30000, ChildOutput::Capture);
    ASSERT_TRUE(run.finished);
    const Words output = lines(run.output);
    ASSERT_EQ(output.size(), 1u);
    EXPECT_EQ(splitCommandLine(output.front()), splitCommandLine(line));
}

TEST(RunCommandLine, HandsTheLineToTheChildAndReturnsItsOutputAndExitCode) {
    ScopedTempFolder temp;
    const std::string child = placeChild(temp.path() / "with blank");
    const CommandLineRun run = runCommandLine(
        "\"" + child + "\" 7 \"a b\" say\\\"hi\\\" \"C:\\x y\\\\\"", 30000, ChildOutput::Capture);
    EXPECT_TRUE(run.started);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 7);
    EXPECT_EQ(lines(run.output), (Words{"a b", "say\"hi\"", "C:\\x y\\"}));

    const CommandLineRun quiet =
        runCommandLine("\"" + child + "\" 0 printed", 30000, ChildOutput::Discard);
    EXPECT_TRUE(quiet.finished);
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.output, "");
}

TEST(RunCommandLine, ReadsOutputLargerThanThePipeWhileTheChildRuns) {
    ScopedTempFolder temp;
    const std::string child = placeChild(temp.path() / "child");
    const CommandLineRun run =
        runCommandLine("\"" + child + "\" many 20000", 60000, ChildOutput::Capture);
    ASSERT_TRUE(run.finished);
    const Words output = lines(run.output);
    EXPECT_EQ(output.size(), 20000u);
    EXPECT_EQ(output.back(), std::string(99, '0'));
}

TEST(RunCommandLine, KillsAChildThatOutlivesTheLimit) {
    ScopedTempFolder temp;
    const std::string child = placeChild(temp.path() / "child");
    const fs::path marker = temp.path() / "late.txt";
    const CommandLineRun run = runCommandLine(
        "\"" + child + "\" late \"" + marker.u8string() + "\"", 200, ChildOutput::Capture);
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.finished);
    EXPECT_EQ(run.exitCode, -1);
    // Had it lived on, it would have written the marker by now.
    ASSERT_TRUE(
        runCommandLine("\"" + child + "\" late \"" + (temp.path() / "wait").u8string() + "\"",
                       30000, ChildOutput::Discard)
            .finished);
    EXPECT_FALSE(fs::exists(marker));
}

TEST(RunCommandLine, ReportsAProgramThatDoesNotExist) {
    ScopedTempFolder temp;
    const std::string missing = (temp.path() / "no such tool.exe").u8string();
    const CommandLineRun run = runCommandLine("\"" + missing + "\" x", 5000, ChildOutput::Capture);
    EXPECT_FALSE(run.started);
    EXPECT_FALSE(run.finished);
    EXPECT_NE(run.errorCode, 0u);
    EXPECT_FALSE(runCommandLine("", 5000, ChildOutput::Capture).started);
}

// An ended copy of a program can still be listed next to a live one; the process queries judge
// it through a handle like this one, which must then read it as ended.
TEST(ProcessHandle, ReadsAProcessThatEndsWhileHeldAsNoLongerActive) {
    ScopedTempFolder temp;
    const fs::path placed = fs::u8path(placeChild(temp.path() / "child"));
    // A name of its own, so that no other copy of the helper is mistaken for this one.
    const fs::path child = placed.parent_path() / ("held-" + std::to_string(currentProcessId()) +
                                                   placed.extension().u8string());
    fs::rename(placed, child);
    const fs::path marker = temp.path() / "late.txt";
    LaunchRequest request;
    request.program = child.u8string();
    request.arguments = {"late", marker.u8string()};
    request.commandLine = "\"" + child.u8string() + "\" late \"" + marker.u8string() + "\"";
    ASSERT_TRUE(launchProcess(request).started);

    ProcessHandle held;
    for (int attempt = 0; attempt < 100 && !held.valid(); ++attempt) {
        for (const ProcessEntry& entry : processSnapshot().value_or(std::vector<ProcessEntry>{})) {
            if (entry.exeName == child.filename().u8string()) held = openProcess(entry.pid);
        }
        if (!held.valid()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(held.valid());
    EXPECT_EQ(held.exitCode(), kStillActive);
    for (int attempt = 0; attempt < 500 && held.exitCode() == kStillActive; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(fs::exists(marker));
    ASSERT_TRUE(held.exitCode());
    EXPECT_NE(*held.exitCode(), kStillActive);
}

}  // namespace
}  // namespace pellanor::platform
