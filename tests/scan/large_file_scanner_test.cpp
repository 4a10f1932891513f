#include "scan/large_file_scanner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

#include "../platform/scoped_environment.h"
#include "platform/file_identity.h"
#include "scan_test_support.h"

namespace pellanor::scan {
namespace {

using test_support::EventRecorder;
using test_support::parseObject;
using test_support::pathsOf;
using test_support::writeFile;

class LargeFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.isValid());
        ASSERT_TRUE(m_outside.isValid());
        m_root = m_temp.path() + "/root";
        writeFile(m_root + "/ten.bin", QByteArray(10, 'a'));
        writeFile(m_root + "/nine.bin", QByteArray(9, 'a'));
        writeFile(m_root + "/sub/deep/thirty.bin", QByteArray(30, 'a'));
        writeFile(m_root + "/sub/empty.bin", {});
        writeFile(m_root + "/.hidden.bin", QByteArray(50, 'h'));
        writeFile(m_root + "/.hidden-dir/inside.bin", QByteArray(50, 'h'));
        writeFile(m_outside.path() + "/outside.bin", QByteArray(70, 'o'));
        ASSERT_EQ(::symlink(qPrintable(m_outside.path() + "/outside.bin"),
                            qPrintable(m_root + "/link.bin")),
                  0);
        ASSERT_EQ(::symlink(qPrintable(m_outside.path()), qPrintable(m_root + "/link-dir")), 0);
    }

    QStringList list(const QString& folders, double minSize) {
        return pathsOf(parseObject(scanLargeFiles(folders, minSize)).value("list").toArray());
    }

    QTemporaryDir m_temp;
    QTemporaryDir m_outside;
    QString m_root;
};

TEST_F(LargeFiles, ListsFilesAtOrAboveTheMinimumLargestFirst) {
    EXPECT_EQ(list(m_root, 10),
              (QStringList{m_root + "/sub/deep/thirty.bin", m_root + "/ten.bin"}));
    EXPECT_EQ(list(m_root, 11), (QStringList{m_root + "/sub/deep/thirty.bin"}));
}

TEST_F(LargeFiles, ZeroOrNegativeMinimumListsEveryVisibleFileButNoHiddenOrLinkedOne) {
    const QStringList expected{m_root + "/sub/deep/thirty.bin", m_root + "/ten.bin",
                               m_root + "/nine.bin", m_root + "/sub/empty.bin"};
    EXPECT_EQ(list(m_root, 0), expected);
    EXPECT_EQ(list(m_root, -100), expected);
}

TEST_F(LargeFiles, RecordsCarryPathNameSizeAndMinuteTimeInSortedKeyOrder) {
    const QString json = scanLargeFiles(m_root + "/sub/deep", 0);
    const QJsonObject record = parseObject(json).value("list").toArray().first().toObject();
    EXPECT_EQ(record.keys(), (QStringList{"fileId", "links", "modifiedMsecs", "modifiedTime",
                                          "name", "path", "size"}));
    const auto facts = platform::fileFacts((m_root + "/sub/deep/thirty.bin").toStdString());
    ASSERT_TRUE(facts);
    EXPECT_EQ(record.value("fileId").toString(),
              QString("%1:%2").arg(facts->identity.volumeSerial).arg(facts->identity.fileIndex));
    EXPECT_EQ(record.value("links").toDouble(), 1);
    EXPECT_EQ(record.value("modifiedMsecs").toDouble(), static_cast<double>(facts->modifiedMsecs));
    EXPECT_EQ(record.value("name").toString(), "thirty.bin");
    EXPECT_EQ(record.value("size").toDouble(), 30);
    const QDateTime modified = QFileInfo(m_root + "/sub/deep/thirty.bin").lastModified();
    EXPECT_EQ(record.value("modifiedTime").toString(), modified.toString("yyyy-MM-dd hh:mm"));
    // The indented layout of the JSON writer.
    EXPECT_TRUE(json.startsWith("{\n    \"list\": [\n        {\n")) << json.toStdString();
}

TEST_F(LargeFiles, TakesCommaListsWithBlanksJsonArraysAndBackslashes) {
    const QString sub = m_root + "/sub";
    const QString deep = m_root + "/sub\\deep";
    EXPECT_EQ(list(" " + deep + " , " + m_root + "/nine.bin,, ", 0),
              (QStringList{m_root + "/sub/deep/thirty.bin"}));
    // Array elements are not trimmed: the padded name names no folder.
    const QString array = QString::fromUtf8(QJsonDocument(QJsonArray{" " + sub, deep}).toJson());
    EXPECT_EQ(list(array, 0), (QStringList{m_root + "/sub/deep/thirty.bin"}));
}

TEST_F(LargeFiles, MissingFoldersAreSkipped) {
    EXPECT_EQ(list(m_root + "/missing," + m_root + "/sub/deep", 0).size(), 1);
    EXPECT_EQ(scanLargeFiles("", 0), "{\n    \"list\": [\n    ]\n}\n");
}

TEST_F(LargeFiles, AsynchronousScanEndsWithTheSameListAsTheSearch) {
    auto recorder = std::make_shared<EventRecorder>();
    const int id =
        startScanLargeFiles(m_root, 0, [recorder](const QVariantMap& e) { (*recorder)(e); });
    const auto events = recorder->waitForFinal();
    test_support::expectOneFinalEventLast(events, id);
    EXPECT_EQ(events.back().value("type").toString(), "done");
    QStringList scanned =
        pathsOf(parseObject(events.back().value("data").toString()).value("list").toArray());
    QStringList searched = list(m_root, 0);
    scanned.sort();
    searched.sort();
    EXPECT_EQ(scanned, searched);
    EXPECT_FALSE(stopScanLargeFiles(id));
    EXPECT_FALSE(addScanLargeFilesFolder(id, m_root));
}

TEST_F(LargeFiles, AsynchronousScanOfNothingSendsOnlyDoneWithAnEmptyList) {
    auto recorder = std::make_shared<EventRecorder>();
    const int id = startScanLargeFiles(m_root + "/missing, ,", 0,
                                       [recorder](const QVariantMap& e) { (*recorder)(e); });
    const auto events = recorder->waitForFinal();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].value("id").toInt(), id);
    EXPECT_EQ(events[0].value("type").toString(), "done");
    EXPECT_EQ(parseObject(events[0].value("data").toString()).value("list").toArray().size(), 0);
}

TEST_F(LargeFiles, IdsCountUpAndUnknownIdsAreRefused) {
    auto recorder = std::make_shared<EventRecorder>();
    auto recorder2 = std::make_shared<EventRecorder>();
    const int first =
        startScanLargeFiles("", 0, [recorder](const QVariantMap& e) { (*recorder)(e); });
    const int second =
        startScanLargeFiles("", 0, [recorder2](const QVariantMap& e) { (*recorder2)(e); });
    EXPECT_GE(first, 1);
    EXPECT_EQ(second, first + 1);
    recorder->waitForFinal();
    recorder2->waitForFinal();
    EXPECT_FALSE(stopScanLargeFiles(0));
    EXPECT_FALSE(stopScanLargeFiles(second + 1000));
    EXPECT_FALSE(addScanLargeFilesFolder(-1, m_root));
}

// Adds racing the end of a scan: an accepted folder must be visited, never dropped.
TEST_F(LargeFiles, AFolderAcceptedAsTheScanEndsIsStillVisited) {
    for (int round = 0; round < 200; ++round) {
        auto recorder = std::make_shared<EventRecorder>();
        const int id = startScanLargeFiles(m_root + "/nine.bin", 0,
                                           [recorder](const QVariantMap& e) { (*recorder)(e); });
        const bool accepted = addScanLargeFilesFolder(id, m_root + "/sub/deep");
        const auto events = recorder->waitForFinal();
        const QStringList paths =
            pathsOf(parseObject(events.back().value("data").toString()).value("list").toArray());
        EXPECT_EQ(paths.size(), accepted ? 1 : 0) << "round " << round;
    }
}

// Only the folders the caller names are expanded; a folder found by the walk is taken by name.
TEST_F(LargeFiles, AsynchronousScanNeverExpandsTheNameOfAFolderItFound) {
    QTemporaryDir elsewhere;
    writeFile(elsewhere.path() + "/not-below-root.bin", QByteArray(5, 'e'));
    writeFile(m_root + "/%PELLANOR_SCAN_ELSEWHERE%/below-root.bin", QByteArray(5, 'b'));
    test_support::ScopedEnvironment environment;
    environment.set("PELLANOR_SCAN_ELSEWHERE", elsewhere.path().toStdString());
    auto recorder = std::make_shared<EventRecorder>();
    startScanLargeFiles(m_root, 5, [recorder](const QVariantMap& e) { (*recorder)(e); });
    const auto events = recorder->waitForFinal();
    const QStringList paths =
        pathsOf(parseObject(events.back().value("data").toString()).value("list").toArray());
    EXPECT_TRUE(paths.contains(m_root + "/%PELLANOR_SCAN_ELSEWHERE%/below-root.bin"));
    EXPECT_FALSE(paths.contains(elsewhere.path() + "/not-below-root.bin"));
}

class LargeFilesInAWideTree : public LargeFiles {
protected:
    void SetUp() override {
        LargeFiles::SetUp();
        test_support::writeWideTree(m_temp.path() + "/wide", 3000);
    }
};

TEST_F(LargeFilesInAWideTree, StopEndsTheScanWithStoppedAndRefusesLaterAdds) {
    auto recorder = std::make_shared<EventRecorder>();
    const int id = startScanLargeFiles(m_temp.path() + "/wide", 0,
                                       [recorder](const QVariantMap& e) { (*recorder)(e); });
    ASSERT_TRUE(stopScanLargeFiles(id));
    const auto stoppedAfter = recorder->events().size();
    EXPECT_FALSE(addScanLargeFilesFolder(id, m_root));
    const auto events = recorder->waitForFinal();
    EXPECT_LE(stoppedAfter, 1u);  // at most the final event, never more progress after it
    test_support::expectOneFinalEventLast(events, id);
    EXPECT_EQ(events.back().value("type").toString(), "stopped");
    EXPECT_LT(parseObject(events.back().value("data").toString()).value("list").toArray().size(),
              3000);
    EXPECT_FALSE(stopScanLargeFiles(id));
}

TEST_F(LargeFilesInAWideTree, FolderAddedWhileRunningIsVisitedOnce) {
    auto recorder = std::make_shared<EventRecorder>();
    const int id = startScanLargeFiles(m_temp.path() + "/wide", 0,
                                       [recorder](const QVariantMap& e) { (*recorder)(e); });
    ASSERT_TRUE(addScanLargeFilesFolder(id, m_root + "/sub/deep"));
    const auto events = recorder->waitForFinal();
    test_support::expectOneFinalEventLast(events, id);
    const QStringList paths =
        pathsOf(parseObject(events.back().value("data").toString()).value("list").toArray());
    EXPECT_EQ(paths.size(), 3001);
    EXPECT_EQ(paths.count(m_root + "/sub/deep/thirty.bin"), 1);
}

}  // namespace
}  // namespace pellanor::scan
