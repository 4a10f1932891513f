// The program a logon task starts, on both backends.
#include "platform/logon_task.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "platform/executable.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr char kExecutableSuffix[] = ".exe";
#else
constexpr char kExecutableSuffix[] = "";
#endif

TEST(LogonProgram, IsTheStartUpFileBesideTheRunningProgramOnlyWhenItExists) {
    const std::string base = "logon-program-" + std::to_string(std::random_device()());
    const fs::path beside = fs::u8path(executablePath()).parent_path() / (base + kExecutableSuffix);
    EXPECT_EQ(logonProgram(base), executablePath());
    std::ofstream(beside) << "x";
    EXPECT_EQ(fs::u8path(logonProgram(base)), beside);
    std::error_code ignored;
    fs::remove(beside, ignored);
}

}  // namespace
}  // namespace pellanor::platform
