#include "platform/paths.h"

#include <gtest/gtest.h>

#include <utility>

namespace pellanor::platform {
namespace {

TEST(LocalPath, IsTheIdentityOnWindows) {
    EXPECT_EQ(localPath("C:\\Windows\\Prefetch"), "C:\\Windows\\Prefetch");
    EXPECT_EQ(localPath("\\\\?\\D:\\x"), "\\\\?\\D:\\x");
}

TEST(AbsoluteLocalPath, ResolvesAsTheSystemDoesAndNeverClimbsAboveTheRoot) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\", "C:\\"},
        {"c:/Windows/System32/../..", "c:\\"},
        {"C:\\..\\..", "C:\\"},
        {"C:\\Apps\\.\\Old\\", "C:\\Apps\\Old"},
        {"C:\\Windows.", "C:\\Windows"},
        {"C:/a//b", "C:\\a\\b"},
        {"\\\\server\\share\\x\\..\\..", "\\\\server\\share"},
    };
    for (const auto& [path, expected] : cases) EXPECT_EQ(absoluteLocalPath(path), expected) << path;
    // Not absolute on Windows: the current drive's root.
    EXPECT_FALSE(isAbsolutePath("/srv/x"));
    EXPECT_EQ(absoluteLocalPath("/srv/x"), "");
}

}  // namespace
}  // namespace pellanor::platform
