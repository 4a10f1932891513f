// Which paths name one folder wherever the process stands, and the folder they resolve to: the
// same answers on both backends for the Windows forms.
#include "platform/paths.h"

#include <gtest/gtest.h>

namespace pellanor::platform {
namespace {

TEST(IsAbsolutePath, AcceptsOnlyDrivePathsWithASeparatorAndNetworkShares) {
    for (const char* path : {"C:\\", "c:/", "C:\\Windows", "z:/a b/c", "\\\\server\\share",
                             "//server/share/x", "\\\\server/share"}) {
        EXPECT_TRUE(isWindowsAbsolutePath(path)) << path;
        EXPECT_TRUE(isAbsolutePath(path)) << path;
    }
    for (const char* path : {"", ".", "..", "foo", "foo\\bar", "C:", "C:foo", "C:..", "\\foo", "\\",
                             "\\\\", "\\\\server", "\\\\server\\", "\\\\server\\\\share",
                             "\\\\?\\C:\\foo", "\\\\.\\C:", "1:\\x", ":\\x"}) {
        EXPECT_FALSE(isWindowsAbsolutePath(path)) << path;
        EXPECT_FALSE(isAbsolutePath(path)) << path;
    }
}

TEST(AbsoluteLocalPath, IsEmptyForAPathThatDependsOnTheCurrentFolder) {
    for (const char* path : {"", ".", "..", "C:", "C:x", "\\x", "x\\..", "\\\\?\\C:\\x"}) {
        EXPECT_EQ(absoluteLocalPath(path), "") << path;
    }
}

}  // namespace
}  // namespace pellanor::platform
