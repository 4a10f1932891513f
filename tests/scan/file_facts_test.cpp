#include "scan/file_facts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "../util/log_capture.h"
#include "scan_test_support.h"

namespace pellanor::scan {
namespace {

using test_support::writeFile;

TEST(GetFileSha256, DigestsContentEmptyFilesAndNothingForMissingFiles) {
    QTemporaryDir temp;
    writeFile(temp.path() + "/abc", "abc");
    writeFile(temp.path() + "/empty", {});
    EXPECT_EQ(getFileSha256(temp.path() + "/abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(getFileSha256(temp.path() + "/empty"),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(getFileSha256(temp.path() + "/missing"), "");
    EXPECT_EQ(getFileSha256(temp.path()), "");  // a folder cannot be read as a file
}

// Bytes that differ from chunk to chunk, over several read chunks and a few bytes more, so a
// chunk read twice, skipped or cut short changes the digest. The expected digest was computed
// with sha256sum from the same bytes.
TEST(GetFileSha256, ReadsFilesLargerThanOneChunk) {
    QTemporaryDir temp;
    QByteArray content(3 * 1024 * 1024 + 5, Qt::Uninitialized);
    for (qint64 i = 0; i < content.size(); ++i) {
        content[static_cast<int>(i)] = static_cast<char>((i * i + 7 * i) % 251);
    }
    writeFile(temp.path() + "/big", content);
    EXPECT_EQ(getFileSha256(temp.path() + "/big"),
              "f94e775cb4fe13b3b2b4e41625113363dd7a382d3d1c2868b10680a12031ee6c");
}

TEST(GetFolderSize, CountsHiddenFilesAndHiddenFoldersButNoLinks) {
    QTemporaryDir temp;
    QTemporaryDir outside;
    writeFile(outside.path() + "/outside.bin", QByteArray(1000, 'o'));
    const QString root = temp.path() + "/root";
    writeFile(root + "/.hidden", QByteArray(3, 'h'));
    writeFile(root + "/.hidden-dir/inner", QByteArray(4, 'h'));
    writeFile(root + "/sub/visible", QByteArray(5, 'v'));
    ASSERT_EQ(::symlink(qPrintable(outside.path() + "/outside.bin"), qPrintable(root + "/link")),
              0);
    ASSERT_EQ(::symlink(qPrintable(outside.path()), qPrintable(root + "/link-dir")), 0);
    ASSERT_EQ(::symlink(qPrintable(root + "/nowhere"), qPrintable(root + "/dangling")), 0);
    EXPECT_EQ(getFolderSize(root), "12");
    // A second name of a file is not a second file; a link given as the folder is a link.
    ASSERT_EQ(::link(qPrintable(root + "/sub/visible"), qPrintable(root + "/visible-again")), 0);
    EXPECT_EQ(getFolderSize(root), "12");
    ASSERT_EQ(::symlink(qPrintable(root), qPrintable(temp.path() + "/root-link")), 0);
    EXPECT_EQ(getFolderSize(temp.path() + "/root-link"), "0");
}

TEST(GetFolderSize, AnswersZeroForMissingFoldersAndFiles) {
    QTemporaryDir temp;
    writeFile(temp.path() + "/file", "abc");
    EXPECT_EQ(getFolderSize(temp.path() + "/missing"), "0");
    EXPECT_EQ(getFolderSize(temp.path() + "/file"), "0");
    EXPECT_EQ(getFolderSize(""), "0");
}

TEST(FileFacts, LogEachRequestWithItsPathAsGiven) {
    QTemporaryDir temp;
    const test_support::LogCapture log;
    getFileSha256(temp.path() + "/missing");
    getFolderSize(temp.path());
    EXPECT_EQ(
        log.lines(),
        (QStringList{log.tagged("NativeUtil", "try to get file " + temp.path() + "/missing sha256"),
                     log.tagged("NativeUtil", "try to get folder size: " + temp.path())}));
}

}  // namespace
}  // namespace pellanor::scan
