#include "clean/folder_size.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <QFile>

#include "tests/clean/clean_test_support.h"

namespace pellanor {
namespace {

using test_support::writeFile;

TEST(ComputeFolderSize, CountsVisibleFilesAtEveryDepthButNotHiddenOnesOrLinks) {
    QTemporaryDir root;
    writeFile(root.filePath("a.bin"), 100);
    writeFile(root.filePath("sub/deeper/b.bin"), 20);
    writeFile(root.filePath(".hidden.bin"), 1000);
    writeFile(root.filePath("sub/.hidden-folder/c.bin"), 1000);
    QTemporaryDir outside;
    writeFile(outside.filePath("big.bin"), 5000);
    QFile::link(outside.path(), root.filePath("sub/link-to-folder"));
    QFile::link(outside.filePath("big.bin"), root.filePath("link-to-file"));

    EXPECT_EQ(computeFolderSize(root.path()), 120u);
    EXPECT_EQ(computeFolderSize(root.filePath("missing")), 0u);
}

TEST(ComputeFolderSize, StopsWhenCancelledAndReturnsTheSumSoFar) {
    QTemporaryDir root;
    for (int i = 0; i < 5; ++i) writeFile(root.filePath(QString("f%1").arg(i)), 10);
    int asked = 0;
    EXPECT_EQ(computeFolderSize(root.path(), [&] { return ++asked > 2; }), 20u);
    EXPECT_EQ(computeFolderSize(root.path(), [] { return true; }), 0u);
}

TEST(ComputeFolderSize, CountsAFileReachedTwiceOnceWithASeenSet) {
    QTemporaryDir root;
    writeFile(root.filePath("one/file.bin"), 100);
    QDir().mkpath(root.filePath("two"));
    ASSERT_TRUE(QFile::copy(root.filePath("one/file.bin"), root.filePath("two/copy.bin")));
    ASSERT_EQ(::link(QFile::encodeName(root.filePath("one/file.bin")).constData(),
                     QFile::encodeName(root.filePath("two/hardlink.bin")).constData()),
              0);

    SeenFileSet seen;
    EXPECT_EQ(computeFolderSize(root.filePath("one"), {}, &seen), 100u);
    // The hard link is the same file; the copy is not.
    EXPECT_EQ(computeFolderSize(root.filePath("two"), {}, &seen), 100u);
    EXPECT_EQ(seen.size(), 2);
    EXPECT_EQ(computeFolderSize(root.filePath("two")), 200u);
    EXPECT_TRUE(seenFileKey(root.filePath("one/file.bin")).contains(':'));
    EXPECT_TRUE(seenFileKey(root.filePath("missing")).isNull());
}

}  // namespace
}  // namespace pellanor
