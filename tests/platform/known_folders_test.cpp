#include "platform/known_folders.h"

#include <gtest/gtest.h>

#include <algorithm>

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

// The list the protected-folder rule starts from: the user's own folders are in it on both
// backends, each absolute and without a trailing separator.
TEST(ProtectedKnownFolders, NameTheUsersFoldersAbsolutely) {
    const std::vector<std::string> folders = protectedKnownFolders();
    for (const std::string& folder : {documentsFolder(), roamingAppDataFolder()}) {
        EXPECT_NE(std::find(folders.begin(), folders.end(), folder), folders.end()) << folder;
    }
    for (const std::string& folder : folders) {
        ASSERT_FALSE(folder.empty());
        EXPECT_TRUE(folder.front() == '/' || (folder.size() > 2 && folder[1] == ':')) << folder;
        EXPECT_TRUE(folder.size() <= 3 || (folder.back() != '/' && folder.back() != '\\'))
            << folder;
    }
}

// The list an installer refuses: the profile first, then the folders the other lookups find.
TEST(UserFolders, StartsWithTheProfileAndHoldsDocumentsAndRoamingAppData) {
    const std::vector<std::string> folders = userFolders();
    ASSERT_GE(folders.size(), 3u);
    EXPECT_EQ(folders.front(), expandEnvironmentStrings("%USERPROFILE%"));
    for (const std::string& folder : folders) {
        EXPECT_TRUE(folder.front() == '/' || (folder.size() > 2 && folder[1] == ':')) << folder;
        EXPECT_NE(folder.back(), '/') << folder;
        EXPECT_NE(folder.back(), '\\') << folder;
    }
    const auto has = [&folders](const std::string& folder) {
        return std::find(folders.begin(), folders.end(), folder) != folders.end();
    };
    EXPECT_TRUE(has(documentsFolder()));
    EXPECT_TRUE(has(roamingAppDataFolder()));
}

}  // namespace
}  // namespace pellanor::platform
