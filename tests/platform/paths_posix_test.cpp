#include "platform/paths.h"

#include <gtest/gtest.h>

#include <utility>

#include "tests/platform/scoped_environment.h"

namespace pellanor::platform {
namespace {

TEST(LocalPath, MapsDrivesToTheirDefaultRoots) {
    test_support::ScopedEnvironment env;
    env.unset("PELLANOR_DRIVES");

    EXPECT_EQ(localPath("C:\\Windows\\Prefetch"), "/Windows/Prefetch");
    EXPECT_EQ(localPath("c:/Windows"), "/Windows");
    EXPECT_EQ(localPath("C:\\"), "/");
    EXPECT_EQ(localPath("C:"), "/");
    EXPECT_EQ(localPath("C:hiberfil.sys"), "/hiberfil.sys");
    EXPECT_EQ(localPath("D:\\Data\\a b.txt"), "/mnt/d/Data/a b.txt");
    EXPECT_EQ(localPath("\\\\?\\C:\\Long\\Path"), "/Long/Path");
}

TEST(LocalPath, UsesTheConfiguredDriveMap) {
    test_support::ScopedEnvironment env;
    env.set("PELLANOR_DRIVES", "c=/srv/c/;D=/data;bad;E=");

    EXPECT_EQ(localPath("C:\\Windows"), "/srv/c/Windows");
    EXPECT_EQ(localPath("C:"), "/srv/c");
    EXPECT_EQ(localPath("d:\\x"), "/data/x");
    EXPECT_EQ(localPath("E:\\x"), "/mnt/e/x");
}

TEST(LocalPath, LeavesPathsWithoutADriveAsTheyAre) {
    EXPECT_EQ(localPath("/tmp\\Google\\Chrome"), "/tmp/Google/Chrome");
    EXPECT_EQ(localPath("relative\\name"), "relative/name");
    EXPECT_EQ(localPath("\\\\server\\share\\f"), "//server/share/f");
    EXPECT_EQ(localPath("$Recycle.Bin"), "$Recycle.Bin");
    EXPECT_EQ(localPath(""), "");
    EXPECT_EQ(localPath("1:\\x"), "1:/x");
}

TEST(AbsoluteLocalPath, ResolvesDotsBeforeMappingTheDrive) {
    test_support::ScopedEnvironment env;
    env.set("PELLANOR_DRIVES", "C=/srv/c;D=/data/d/");
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\", "/srv/c"},
        {"C:\\..", "/srv/c"},
        {"c:/Windows/System32/../../..", "/srv/c"},
        {"D:\\Apps\\.\\Old\\", "/data/d/Apps/Old"},
        {"D:\\x\\..\\..\\y", "/data/d/y"},
        {"C:\\Windows.", "/srv/c/Windows."},
        {"\\\\server\\share\\x\\..\\..", "//server/share"},
        {"/srv/x/../../..", "/"},
        {"/srv//x/./", "/srv/x"},
        {"//x", "/x"},
    };
    for (const auto& [path, expected] : cases) EXPECT_EQ(absoluteLocalPath(path), expected) << path;
    EXPECT_TRUE(isAbsolutePath("/srv/x"));
    EXPECT_FALSE(isAbsolutePath("\\srv\\x"));
}

}  // namespace
}  // namespace pellanor::platform
