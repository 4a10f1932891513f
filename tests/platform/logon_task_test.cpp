// The program a logon task starts, and the task names no backend accepts.
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

// A file or folder beside this test's executable, removed again whatever the test does.
class BesideTheTest final {
public:
    BesideTheTest()
        : m_base("logon-program-" + std::to_string(std::random_device()())),
          m_path(fs::u8path(executablePath()).parent_path() / (m_base + kExecutableSuffix)) {}
    BesideTheTest(const BesideTheTest&) = delete;
    BesideTheTest& operator=(const BesideTheTest&) = delete;
    ~BesideTheTest() {
        std::error_code ignored;
        fs::remove(m_path, ignored);
    }
    const std::string& base() const { return m_base; }
    const fs::path& path() const { return m_path; }

private:
    std::string m_base;
    fs::path m_path;
};

TEST(LogonProgram, IsTheStartUpProgramBesideTheRunningOneOnlyWhenThatFileExists) {
    const BesideTheTest beside;
    EXPECT_EQ(logonProgram(beside.base()), executablePath());

    fs::create_directory(beside.path());
    EXPECT_EQ(logonProgram(beside.base()), executablePath()) << "a folder is no program";
    fs::remove(beside.path());

    std::ofstream(beside.path()) << "x";
    EXPECT_EQ(fs::u8path(logonProgram(beside.base())), beside.path());
}

TEST(LogonTask, RefusesNamesThatAreNotPlain) {
    for (const char* name : {"", "../escape", "a\\b", "a\"b"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(createLogonTask(name, executablePath()));
        EXPECT_FALSE(logonTaskExists(name));
        EXPECT_FALSE(deleteLogonTask(name));
    }
}

}  // namespace
}  // namespace pellanor::platform
