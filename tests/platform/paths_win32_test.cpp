#include "platform/paths.h"

#include <gtest/gtest.h>

namespace pellanor::platform {
namespace {

TEST(LocalPath, IsTheIdentityOnWindows) {
    EXPECT_EQ(localPath("C:\\Windows\\Prefetch"), "C:\\Windows\\Prefetch");
    EXPECT_EQ(localPath("\\\\?\\D:\\x"), "\\\\?\\D:\\x");
}

}  // namespace
}  // namespace pellanor::platform
