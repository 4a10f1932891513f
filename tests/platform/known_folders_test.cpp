#include "platform/known_folders.h"

#include <gtest/gtest.h>

#include "platform/environment.h"

namespace pellanor::platform {
namespace {

// On Windows the shell and the environment agree on the roaming folder; on POSIX the folder is
// defined as what %APPDATA% expands to.
TEST(RoamingAppDataFolder, IsWhereAppDataPoints) {
    const std::string folder = roamingAppDataFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder, expandEnvironmentStrings("%APPDATA%"));
    EXPECT_NE(folder.back(), '/');
    EXPECT_NE(folder.back(), '\\');
}

TEST(DocumentsFolder, IsAnAbsoluteFolderWithoutTrailingSeparator) {
    const std::string folder = documentsFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(folder.front() == '/' || (folder.size() > 2 && folder[1] == ':')) << folder;
    EXPECT_NE(folder.back(), '/');
    EXPECT_NE(folder.back(), '\\');
    EXPECT_NE(folder, roamingAppDataFolder());
}

}  // namespace
}  // namespace pellanor::platform
