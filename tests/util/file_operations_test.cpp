#include "util/file_operations.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "tests/util/file_test_support.h"
#include "tests/util/log_capture.h"

namespace pellanor::util {
namespace {

using test_support::LogCapture;
using test_support::readFile;
using test_support::writeFile;

class FileOperations : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        ASSERT_TRUE(m_outside.isValid());
        ASSERT_TRUE(writeFile(path("source.txt"), "new"));
        ASSERT_TRUE(writeFile(m_outside.filePath("sentinel.txt"), "keep"));
    }
    void TearDown() override { EXPECT_EQ(readFile(m_outside.filePath("sentinel.txt")), "keep"); }
    QString path(const QString& name) const { return m_root.filePath(name); }

    QTemporaryDir m_root;
    QTemporaryDir m_outside;  // holds the sentinel that no operation may touch
    LogCapture m_log;
};

TEST_F(FileOperations, CopyRefusesAnExistingDestinationUnlessToldToOverwrite) {
    ASSERT_TRUE(writeFile(path("dest.txt"), "old"));

    EXPECT_FALSE(copyFile(path("source.txt"), path("dest.txt"), false));
    EXPECT_EQ(readFile(path("dest.txt")), "old");
    EXPECT_TRUE(
        m_log.contains("NativeUtil", QStringLiteral("copy file from %1 to %2. overwrite: false")
                                         .arg(path("source.txt"), path("dest.txt"))));
    EXPECT_TRUE(m_log.contains("NativeUtil", QStringLiteral("copy file result: false")));

    EXPECT_TRUE(copyFile(path("source.txt"), path("dest.txt"), true));
    EXPECT_EQ(readFile(path("dest.txt")), "new");
    EXPECT_EQ(readFile(path("source.txt")), "new");
    EXPECT_TRUE(m_log.contains("NativeUtil",
                               QStringLiteral("destination file %1 exists. try to remove it first")
                                   .arg(path("dest.txt"))));
}

TEST_F(FileOperations, CopyLeavesAMissingFolderMissingWhileMoveCreatesIt) {
    const QString copied = path("a/b/copied.txt");
    EXPECT_FALSE(copyFile(path("source.txt"), copied, true));
    EXPECT_FALSE(QFileInfo::exists(path("a")));

    const QString moved = path("a/b/moved.txt");
    EXPECT_TRUE(moveFile(path("source.txt"), moved, false));
    EXPECT_EQ(readFile(moved), "new");
    EXPECT_FALSE(QFileInfo::exists(path("source.txt")));
    EXPECT_TRUE(m_log.contains("NativeUtil", QStringLiteral("move file result: true")));
}

TEST_F(FileOperations, MissingSourceFailsWithItsOwnLogLine) {
    EXPECT_FALSE(copyFile(path("none.txt"), path("dest.txt"), true));
    EXPECT_FALSE(moveFile(path("none.txt"), path("dest.txt"), true));
    EXPECT_TRUE(m_log.contains(
        "NativeUtil",
        QStringLiteral("copy file failed. file %1 does NOT exists!").arg(path("none.txt"))));
    EXPECT_TRUE(m_log.contains(
        "NativeUtil",
        QStringLiteral("move file failed. file %1 does NOT exists!").arg(path("none.txt"))));
    EXPECT_FALSE(QFileInfo::exists(path("dest.txt")));
}

TEST_F(FileOperations, MoveRefusesAnExistingFileWithoutOverwriteAndReplacesItWith) {
    ASSERT_TRUE(writeFile(path("dest.txt"), "old"));

    EXPECT_FALSE(moveFile(path("source.txt"), path("dest.txt"), false));
    EXPECT_EQ(readFile(path("dest.txt")), "old");
    EXPECT_EQ(readFile(path("source.txt")), "new");
    EXPECT_TRUE(m_log.contains(
        "NativeUtil",
        QStringLiteral("destination file %1 exists and overwrite is false").arg(path("dest.txt"))));

    EXPECT_TRUE(moveFile(path("source.txt"), path("dest.txt"), true));
    EXPECT_EQ(readFile(path("dest.txt")), "new");
    EXPECT_FALSE(QFileInfo::exists(path("source.txt")));
}

TEST_F(FileOperations, MoveOntoAnExistingFolderFailsAndLeavesTheFolderAlone) {
    ASSERT_TRUE(writeFile(path("folder/inside.txt"), "inside"));

    EXPECT_FALSE(moveFile(path("source.txt"), path("folder"), true));
    EXPECT_FALSE(copyFile(path("source.txt"), path("folder"), true));
    EXPECT_EQ(readFile(path("folder/inside.txt")), "inside");
    EXPECT_EQ(readFile(path("source.txt")), "new");
}

// Overwriting a file with itself must not remove it first, however the two paths are written.
TEST_F(FileOperations, OverwritingAFileWithItselfKeepsIt) {
    const QString sameFile = m_root.path() + QStringLiteral("/./source.txt");

    EXPECT_FALSE(copyFile(path("source.txt"), sameFile, true));
    EXPECT_FALSE(moveFile(path("source.txt"), sameFile, true));
    EXPECT_EQ(readFile(path("source.txt")), "new");
}

// A destination that is a link to a file elsewhere: overwriting replaces the link, never what
// it points at.
TEST_F(FileOperations, OverwriteReplacesALinkAtTheDestinationNotItsTarget) {
    const QString sentinel = m_outside.filePath("sentinel.txt");
    ASSERT_TRUE(QFile::link(sentinel, path("copy-link.txt")));
    ASSERT_TRUE(QFile::link(sentinel, path("move-link.txt")));
    ASSERT_TRUE(writeFile(path("second.txt"), "second"));

    EXPECT_TRUE(copyFile(path("source.txt"), path("copy-link.txt"), true));
    EXPECT_TRUE(moveFile(path("second.txt"), path("move-link.txt"), true));
    EXPECT_FALSE(QFileInfo(path("copy-link.txt")).isSymLink());
    EXPECT_EQ(readFile(path("copy-link.txt")), "new");
    EXPECT_EQ(readFile(path("move-link.txt")), "second");
}

// A link to the source at the destination is only a name: overwriting replaces it with a real
// file and leaves the source as it was (a move then carries the source to the link's name).
TEST_F(FileOperations, OverwriteReplacesALinkToTheSourceItself) {
    struct Case {
        const char* name;
        bool (*operation)(const QString&, const QString&, bool);
        bool sourceRemains;
    };
    for (const Case& c : {Case{"copy", &copyFile, true}, Case{"move", &moveFile, false}}) {
        SCOPED_TRACE(c.name);
        const QString source = path(QStringLiteral("%1-source.txt").arg(c.name));
        const QString link = path(QStringLiteral("%1-link.txt").arg(c.name));
        ASSERT_TRUE(writeFile(source, "original"));
        ASSERT_TRUE(QFile::link(source, link));

        EXPECT_TRUE(c.operation(source, link, true));
        EXPECT_FALSE(QFileInfo(link).isSymLink());
        EXPECT_EQ(readFile(link), "original");
        EXPECT_EQ(QFileInfo::exists(source), c.sourceRemains);
        if (c.sourceRemains) {
            EXPECT_EQ(readFile(source), "original");
        }
    }
}

// A source that is a link, overwriting the file it points at: that file is the content, so it
// stays.
TEST_F(FileOperations, OverwritingTheTargetOfASourceLinkKeepsIt) {
    ASSERT_TRUE(QFile::link(path("source.txt"), path("source-link.txt")));
    EXPECT_FALSE(copyFile(path("source-link.txt"), path("source.txt"), true));
    EXPECT_FALSE(moveFile(path("source-link.txt"), path("source.txt"), true));
    EXPECT_EQ(readFile(path("source.txt")), "new");
}

// A link whose target does not exist yet still takes the name: nothing may be written through
// it to where it points.
TEST_F(FileOperations, ADanglingLinkAtTheDestinationIsNeverWrittenThrough) {
    const QString elsewhere = m_outside.filePath("created-through-link.txt");
    ASSERT_TRUE(QFile::link(elsewhere, path("move-link.txt")));
    ASSERT_TRUE(QFile::link(elsewhere, path("copy-link.txt")));
    ASSERT_TRUE(writeFile(path("second.txt"), "second"));

    EXPECT_FALSE(moveFile(path("source.txt"), path("move-link.txt"), false));
    EXPECT_FALSE(copyFile(path("source.txt"), path("copy-link.txt"), false));
    EXPECT_FALSE(QFileInfo::exists(elsewhere));
    EXPECT_EQ(readFile(path("source.txt")), "new");
    EXPECT_TRUE(m_log.contains("NativeUtil",
                               QStringLiteral("destination file %1 exists and overwrite is false")
                                   .arg(path("move-link.txt"))));

    EXPECT_TRUE(moveFile(path("source.txt"), path("move-link.txt"), true));
    EXPECT_TRUE(copyFile(path("second.txt"), path("copy-link.txt"), true));
    EXPECT_FALSE(QFileInfo::exists(elsewhere));
    EXPECT_FALSE(QFileInfo(path("move-link.txt")).isSymLink());
    EXPECT_EQ(readFile(path("move-link.txt")), "new");
    EXPECT_EQ(readFile(path("copy-link.txt")), "second");
}

TEST_F(FileOperations, AcceptsBackslashSeparators) {
    const QString windowsShaped =
        QString(path("sub/copy.txt")).replace(QLatin1Char('/'), QLatin1Char('\\'));
    ASSERT_TRUE(mkdir(path("sub")));

    EXPECT_TRUE(copyFile(path("source.txt"), windowsShaped, false));
    EXPECT_EQ(readFile(path("sub/copy.txt")), "new");
}

TEST_F(FileOperations, MkdirCreatesEveryMissingLevelAndKeepsAnExistingFolder) {
    EXPECT_TRUE(mkdir(path("one/two/three")));
    EXPECT_TRUE(QFileInfo(path("one/two/three")).isDir());

    ASSERT_TRUE(writeFile(path("one/kept.txt"), "kept"));
    EXPECT_TRUE(mkdir(path("one")));
    EXPECT_EQ(readFile(path("one/kept.txt")), "kept");

    EXPECT_FALSE(mkdir(path("source.txt")));
    EXPECT_EQ(readFile(path("source.txt")), "new");
    EXPECT_TRUE(m_log.lines().isEmpty());
}


QJsonObject listing(const QString& path) {
    return QJsonDocument::fromJson(listFolder(path).toUtf8()).object();
}

QStringList names(const QJsonObject& listing, const char* kind) {
    QStringList list;
    for (const auto& value : listing.value(QLatin1String(kind)).toArray()) list << value.toString();
    return list;
}

TEST_F(FileOperations, ListFolderSortsEntriesByKindAndNeverCallsALinkAFolder) {
    const QString tree = path("tree");
    ASSERT_TRUE(writeFile(tree + "/b.txt", "b"));
    ASSERT_TRUE(writeFile(tree + "/.hidden", "h"));
    ASSERT_TRUE(writeFile(tree + "/A.txt", "a"));
    ASSERT_TRUE(writeFile(tree + "/sub/deeper/c.txt", "c"));  // one level only: c.txt not listed
    ASSERT_TRUE(QDir().mkpath(tree + "/empty"));
    ASSERT_TRUE(QFile::link(m_outside.path(), tree + "/to-outside"));
    ASSERT_TRUE(QFile::link(tree + "/A.txt", tree + "/to-file"));
    ASSERT_TRUE(QFile::link(tree + "/gone", tree + "/dangling"));

    const QJsonObject result = listing(tree);
    EXPECT_EQ(result.keys(), (QStringList{"files", "folders", "links"}));
    EXPECT_EQ(names(result, "files"), (QStringList{".hidden", "A.txt", "b.txt"}));
    EXPECT_EQ(names(result, "folders"), (QStringList{"empty", "sub"}));
    EXPECT_EQ(names(result, "links"), (QStringList{"dangling", "to-file", "to-outside"}));
    EXPECT_TRUE(m_log.contains("NativeUtil",
                               QStringLiteral("list folder %1: 3 files, 2 folders, 3 links").arg(tree)));
}

TEST_F(FileOperations, ListFolderAnswersAnErrorForWhatIsNotAFolder) {
    ASSERT_TRUE(QDir().mkpath(path("real")));
    ASSERT_TRUE(QFile::link(path("real"), path("link-to-real")));
    const struct {
        const char* what;
        QString path;
    } cases[] = {
        {"empty text", QString()},
        {"a missing folder", path("missing")},
        {"a file", path("source.txt")},
        {"a link to a folder", path("link-to-real")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(listing(c.path), (QJsonObject{{"error", "not a folder"}}));
    }
    const QJsonObject empty = listing(path("real"));
    EXPECT_TRUE(names(empty, "files").isEmpty() && names(empty, "folders").isEmpty() &&
                names(empty, "links").isEmpty());
    EXPECT_FALSE(empty.contains("error"));
}

}  // namespace
}  // namespace pellanor::util
