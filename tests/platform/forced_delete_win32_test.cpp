// Forced deletion where only Windows has the case: the hidden and system attributes, and
// junctions, which the standard library cannot create.
#include <windows.h>

#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/forced_delete.h"
#include "tests/platform/workspace.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

using test_support::Workspace;

// A mount-point reparse point at `link` (an empty folder) targeting `target`.
bool makeJunction(const fs::path& link, const fs::path& target) {
    if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
    const std::wstring substitute = L"\\??\\" + target.wstring();
    const std::wstring print = target.wstring();
    const std::size_t nameBytes = (substitute.size() + print.size() + 2) * sizeof(wchar_t);
    std::vector<BYTE> buffer(16 + nameBytes);
    auto* words = reinterpret_cast<WORD*>(buffer.data());
    *reinterpret_cast<DWORD*>(buffer.data()) = IO_REPARSE_TAG_MOUNT_POINT;
    words[2] = static_cast<WORD>(8 + nameBytes);                              // data length
    words[4] = 0;                                                             // name offset
    words[5] = static_cast<WORD>(substitute.size() * sizeof(wchar_t));        // name length
    words[6] = static_cast<WORD>((substitute.size() + 1) * sizeof(wchar_t));  // print offset
    words[7] = static_cast<WORD>(print.size() * sizeof(wchar_t));             // print length
    auto* names = reinterpret_cast<wchar_t*>(buffer.data() + 16);
    std::copy(substitute.begin(), substitute.end(), names);
    std::copy(print.begin(), print.end(), names + substitute.size() + 1);

    HANDLE folder = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    const BOOL ok =
        DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, buffer.data(),
                        static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
    CloseHandle(folder);
    return ok != 0;
}

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
    if (!makeJunction(space.path("tree/junction"), space.path("sentinel"))) {
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
