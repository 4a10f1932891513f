// Forced deletion where only Windows has the case: the hidden and system attributes, and
// junctions, which the standard library cannot create.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/forced_delete.h"
#include "tests/platform/junction_win32.h"
#include "tests/platform/workspace.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

using test_support::Workspace;

TEST(ForceDeleteTreeOnWindows, ResetsHiddenSystemAndReadOnlyAttributesFirst) {
    Workspace space;
    fs::create_directories(space.path("tree/sub"));
    const fs::path file = space.path("tree/sub/locked.txt");
    std::ofstream(file) << "x";
    SetFileAttributesW(file.c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(space.path("tree/sub").c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_TRUE(forceDeleteTree(space.path("tree").u8string()));
    EXPECT_FALSE(fs::exists(space.path("tree")));
}

TEST(ForceDeleteTreeOnWindows, DeletesAJunctionAsALinkAndLeavesItsTarget) {
    Workspace space;
    if (!test_support::makeJunction(space.path("tree/junction"), space.path("sentinel"))) {
        GTEST_SKIP() << "this system cannot create junctions (error " << GetLastError() << ")";
    }
    ASSERT_TRUE(fs::exists(space.path("tree/junction/keep.txt")));

    EXPECT_TRUE(forceDeleteTree(space.path("tree").u8string()));
    EXPECT_FALSE(fs::exists(space.path("tree")));
    EXPECT_TRUE(fs::exists(space.path("sentinel/keep.txt")));
}

TEST(ForceDeleteTreeOnWindows, AcceptsForwardSlashesAndTrailingSeparators) {
    Workspace space;
    fs::create_directories(space.path("tree/a/b"));
    EXPECT_TRUE(forceDeleteTree(space.path("tree").generic_u8string() + "/"));
    EXPECT_FALSE(fs::exists(space.path("tree")));
}

}  // namespace
}  // namespace pellanor::platform
