#include "clean/tree_removal.h"

#include <gtest/gtest.h>

#include "tests/clean/clean_test_support.h"

namespace pellanor {
namespace {

using test_support::exists;
using test_support::FakeProfile;
using test_support::writeFile;

TEST(RemoveFolderTree, RemovesHiddenAndReadOnlyEntriesAndLinksButNoLinkTarget) {
    FakeProfile profile;
    const QString sentinel = profile.makeSentinel();
    const QString tree = profile.temp("tree");
    writeFile(tree + "/.hidden/deeper/x", 1);
    writeFile(tree + "/sub/read-only", 1);
    QFile::setPermissions(tree + "/sub/read-only", QFile::ReadOwner);
    QFile::link(sentinel, tree + "/sub/to-folder");
    QFile::link(sentinel + "/keep.txt", tree + "/to-file");
    QFile::link(profile.outside("missing"), tree + "/dangling");

    EXPECT_TRUE(removeFolderTree(tree));
    EXPECT_FALSE(exists(tree));
    EXPECT_TRUE(exists(sentinel + "/keep.txt"));
    EXPECT_TRUE(QFileInfo(sentinel).isWritable());
}

TEST(RemoveFolderTree, RemovesALinkAsItselfAndLeavesAPlainFileAlone) {
    FakeProfile profile;
    const QString sentinel = profile.makeSentinel();
    QFile::link(sentinel, profile.temp("link"));
    writeFile(profile.temp("file"), 1);

    EXPECT_TRUE(removeFolderTree(profile.temp("link")));
    EXPECT_FALSE(exists(profile.temp("link")));
    EXPECT_TRUE(exists(sentinel + "/keep.txt"));
    EXPECT_TRUE(removeFolderTree(profile.temp("file")));
    EXPECT_TRUE(exists(profile.temp("file")));
    EXPECT_TRUE(removeFolderTree(profile.temp("missing")));
}

}  // namespace
}  // namespace pellanor
