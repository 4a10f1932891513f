// Tree removal where only Windows has the case: attributes, paths past MAX_PATH, and links.
// Links come from the Linux side (link_fixture.sh, through Z:), since Wine makes none that show.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/tree_removal.h"
#include "tests/platform/junction_win32.h"
#include "tests/platform/workspace.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

using test_support::Workspace;

bool present(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(RemoveTreeOnWindows, ClearsReadOnlyHiddenAndSystemAttributesAtEveryDepth) {
    Workspace space;
    space.write("tree/top.txt", 1);
    space.write("tree/sub/deeper/locked.txt", 1);
    space.write("tree/hidden-folder/system.txt", 1);
    const DWORD all = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
    SetFileAttributesW(space.path("tree/top.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(space.path("tree/sub/deeper/locked.txt").c_str(), all);
    SetFileAttributesW(space.path("tree/sub/deeper").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(space.path("tree/hidden-folder/system.txt").c_str(), FILE_ATTRIBUTE_SYSTEM);
    SetFileAttributesW(space.path("tree/hidden-folder").c_str(), all);

    const RemovalReport report = removeTree(space.path("tree").u8string());
    EXPECT_TRUE(report.complete()) << report.leftCount;
    EXPECT_FALSE(space.exists("tree"));
    EXPECT_TRUE(space.exists("sentinel/keep.txt"));
}

TEST(RemoveTreeOnWindows, RemovesATreeDeeperThanMaxPath) {
    Workspace space;
    std::wstring path = L"\\\\?\\" + fs::absolute(space.path("tree")).wstring();
    for (int level = 0; level < 6; ++level) {
        path += L"\\" + std::wstring(60, static_cast<wchar_t>(L'a' + level));
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << GetLastError();
    }
    const std::wstring file = path + L"\\file.txt";
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_READONLY, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);
    ASSERT_GT(file.size(), 380u);

    // Given in the ordinary form, with forward slashes, as the callers write it.
    EXPECT_TRUE(removeTree(space.path("tree").generic_u8string() + "/").complete());
    EXPECT_FALSE(space.exists("tree"));
    EXPECT_TRUE(space.exists("sentinel/keep.txt"));
}

TEST(RemoveTreeOnWindows, RefusesDriveRelativePaths) {
    // On a drive that is not there, so that a fault cannot reach a real current folder.
    for (const char* path : {"Q:name", "Q:x\\y", "Q:x/y"}) {
        EXPECT_EQ(removeTree(path).leftCount, 1) << path;
    }
}

// The folder link_fixture.sh made, as Wine reaches it; empty when the tests run without it.
std::wstring linkFixture() {
    const char* folder = std::getenv("PELLANOR_LINK_FIXTURE");
    if (folder == nullptr || *folder != '/') return {};
    std::wstring path = L"Z:" + fs::u8path(folder).wstring();
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

std::string utf8(const std::wstring& path) { return fs::path(path).u8string(); }

// Wine 8 gives these links no reparse tag and cannot remove one as itself: RemoveDirectoryW and
// a delete through a reparse-point handle remove an empty target instead, or refuse a full one.
// So the walk must leave them, untouched and reported, and never enter them. On Windows a link
// carries its tag and goes as itself (the junction case below).
TEST(RemoveTreeOnWindows, NeverEntersOrBreaksThroughAUnixLinkUnderWine) {
    const std::wstring fixture = linkFixture();
    if (fixture.empty()) GTEST_SKIP() << "no links made beforehand; ctest makes them";
    const DWORD attributes = GetFileAttributesW((fixture + L"\\root-link").c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        GTEST_SKIP() << "this system does not show a Unix link as a reparse point";
    }
    const auto targetsIntact = [&] {
        return present(fixture + L"\\sentinel\\keep.txt") && present(fixture + L"\\empty");
    };
    EXPECT_TRUE(leadsElsewhere(utf8(fixture + L"\\root-link")));

    const RemovalReport removed = removeTree(utf8(fixture + L"\\removed"));
    EXPECT_EQ(removed.leftCount, 2);
    EXPECT_FALSE(present(fixture + L"\\removed\\sub\\file.txt"));
    EXPECT_TRUE(present(fixture + L"\\removed\\sub\\link"));
    EXPECT_TRUE(targetsIntact());

    const RemovalReport cleared = clearFolder(utf8(fixture + L"\\cleared"));
    ASSERT_EQ(cleared.firstLeft.size(), 1u);
    EXPECT_EQ(cleared.firstLeft[0], utf8(fixture + L"\\cleared\\link"));
    EXPECT_TRUE(targetsIntact());

    EXPECT_EQ(removeTree(utf8(fixture + L"\\root-link")).leftCount, 1);
    EXPECT_EQ(clearFolder(utf8(fixture + L"\\root-link")).leftCount, 1);
    EXPECT_TRUE(present(fixture + L"\\root-link"));
    EXPECT_TRUE(targetsIntact());
}

TEST(RemoveTreeOnWindows, RemovesAJunctionAsItselfAndLeavesItsTarget) {
    Workspace space;
    if (!test_support::makeJunction(space.path("tree/junction"), space.path("sentinel"))) {
        GTEST_SKIP() << "this system cannot make junctions or volume mount points (error "
                     << GetLastError() << "; Wine 8 gives 50); the Unix links stand in";
    }
    ASSERT_TRUE(space.exists("tree/junction/keep.txt"));

    EXPECT_TRUE(removeTree(space.path("tree").u8string()).complete());
    EXPECT_FALSE(space.exists("tree"));
    EXPECT_TRUE(space.exists("sentinel/keep.txt"));
}

}  // namespace
}  // namespace pellanor::platform
