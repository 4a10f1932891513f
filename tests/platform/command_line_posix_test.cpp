// The POSIX stand-in where it differs by design: tools come from PATH only and no shell reads
// the line.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/command_line.h"
#include "tests/platform/scoped_environment.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

// A folder of fake tools first on PATH for one test, before the system folders only.
class ToolFolder final {
public:
    ToolFolder() { m_env.set("PATH", m_folder.path().string() + ":/usr/bin:/bin"); }

    void add(const std::string& name, const std::string& body) {
        const fs::path path = m_folder.path() / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        chmod(path.c_str(), 0700);
    }
    fs::path path(const std::string& name) const { return m_folder.path() / name; }

private:
    test_support::ScopedTempFolder m_folder;
    test_support::ScopedEnvironment m_env;
};

TEST(RunCommandLinePosix, RunsNothingWhenTheToolIsNotOnPath) {
    ToolFolder tools;
    const std::string marker = tools.path("ran").string();
    const CommandLineRun run =
        runCommandLine("cmd.exe /c echo x & touch " + marker, 5000, ChildOutput::Capture);
    EXPECT_FALSE(run.started);
    EXPECT_EQ(run.errorCode, static_cast<std::uint32_t>(ENOENT));
    EXPECT_FALSE(fs::exists(marker));
}

TEST(RunCommandLinePosix, KeepsShellSyntaxAsTextAndGivesTheChildAnEmptyInput) {
    ToolFolder tools;
    // cat returns at once only if its input is at its end.
    tools.add("wmic", "cat; for a in \"$@\"; do printf '[%s]' \"$a\"; done");
    const std::string marker = tools.path("ran").string();
    const CommandLineRun run =
        runCommandLine("wmic \"$(touch " + marker + ")\" `touch " + marker + "`;touch " + marker,
                       5000, ChildOutput::Capture);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.output,
              "[$(touch " + marker + ")][`touch][" + marker + "`;touch][" + marker + "]");
    EXPECT_FALSE(fs::exists(marker));
}

TEST(RunCommandLinePosix, EndsWhatTheToolStartedWhenTheLimitPasses) {
    ToolFolder tools;
    tools.add("cmd.exe", "(sleep 1; touch \"$1\") & wait");
    const std::string marker = tools.path("late").string();
    const CommandLineRun run = runCommandLine("cmd.exe " + marker, 100, ChildOutput::Discard);
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.finished);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_FALSE(fs::exists(marker));
}

TEST(RunCommandLinePosix, StopsReadingWhenTheToolEndsThoughItsChildHoldsTheOutput) {
    ToolFolder tools;
    tools.add("cmd.exe", "echo first; sleep 10 &");
    // Waiting for the end of the output would run into the limit.
    const CommandLineRun run = runCommandLine("cmd.exe", 3000, ChildOutput::Capture);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "first\n");
}

}  // namespace
}  // namespace pellanor::platform
