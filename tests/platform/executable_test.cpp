#include "platform/executable.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pellanor::platform {
namespace {

TEST(Executable, PathNamesThisTestProgramAndEndsWithItsBaseName) {
    const std::string path = executablePath();
    const std::string baseName = executableBaseName();

    EXPECT_EQ(baseName.rfind("platform_tests", 0), 0u) << baseName;
    ASSERT_GT(path.size(), baseName.size());
    EXPECT_EQ(path.substr(path.size() - baseName.size()), baseName);
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::u8path(path))) << path;
}

}  // namespace
}  // namespace pellanor::platform
