#include <gtest/gtest.h>
#include <unistd.h>

#include <QJsonArray>
#include <deque>
#include <memory>
#include <unordered_set>

#include "platform/directory_iterator.h"
#include "scan/file_facts.h"
#include "scan/file_record.h"
#include "scan/folder_list.h"
#include "scan/large_file_scanner.h"
#include "scan_test_support.h"

namespace pellanor::scan {
namespace {

using test_support::EventRecorder;
using test_support::parseObject;
using test_support::writeFile;

// The walks share the work among threads; what they answer must be what one thread walking the
// folders in order answers. The expectations below are that one thread, built on the iterator.
class WalkedOverTheCores : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.isValid());
        m_root = m_temp.path() + "/root";
        // Few distinct sizes, so the order of equal sizes after sorting shows the walk order.
        for (int top = 0; top < 40; ++top) {
            for (int sub = 0; sub < 3; ++sub) {
                const QString folder = QString("%1/top%2/sub%3").arg(m_root).arg(top).arg(sub);
                writeFile(folder + "/a.bin", QByteArray((top + sub) % 4 + 1, 'a'));
                writeFile(folder + "/deeper/b.bin", QByteArray(top % 3 + 2, 'b'));
            }
            writeFile(QString("%1/top%2/c.bin").arg(m_root).arg(top), QByteArray(top % 5, 'c'));
        }
        writeFile(m_root + "/top.bin", QByteArray(3, 't'));
        writeFile(m_root + "/.hidden.bin", QByteArray(40, 'h'));
        writeFile(m_root + "/top9/.hidden-dir/inside.bin", QByteArray(41, 'h'));
        writeFile(m_root + "/top3/shared.bin", QByteArray(4, 's'));
        link("top3/shared.bin", "top37/sub1/shared-again.bin");
        link("top3/shared.bin", "top20/.hidden-name.bin");
        link("top3/shared.bin", "shared-at-the-top.bin");
        symlink(m_root + "/top3/shared.bin", "top8/file-link.bin");
        symlink(m_root + "/top5", "top6/folder-link");
        symlink(m_root + "/nowhere", "dangling");
    }

    void link(const QString& from, const QString& to) {
        ASSERT_EQ(::link(qPrintable(m_root + "/" + from), qPrintable(m_root + "/" + to)), 0);
    }
    void symlink(const QString& target, const QString& name) {
        ASSERT_EQ(::symlink(qPrintable(target), qPrintable(m_root + "/" + name)), 0);
    }

    static void take(SeenFiles& seen, const platform::DirectoryEntry& entry,
                     std::vector<FileRecord>& found) {
        FileRecord record = recordFrom(entry);
        identify(record);
        if (seen.take(record)) found.push_back(record);
    }

    // Each root walked depth first, one after another.
    static QString serialSearch(const QStringList& roots, qint64 minSize) {
        SeenFiles seen;
        std::vector<FileRecord> found;
        platform::DirectoryEntry entry;
        for (const QString& root : roots) {
            platform::DirectoryIterator files(root.toStdString(), visibleFiles(true));
            while (files.next(entry)) {
                if (entry.size >= minSize) take(seen, entry, found);
            }
        }
        sortBySizeDescending(found);
        return listDocument(found);
    }

    // One folder level at a time, sub-folders queued behind the rest.
    static QString serialScan(const QString& root, qint64 minSize) {
        SeenFiles seen;
        std::vector<FileRecord> found;
        std::deque<std::string> queue{root.toStdString()};
        platform::DirectoryFilter filter = visibleFiles(false);
        filter.directories = true;
        platform::DirectoryEntry entry;
        for (; !queue.empty(); queue.pop_front()) {
            platform::DirectoryIterator level(queue.front(), filter);
            while (level.next(entry)) {
                if (entry.isDirectory) {
                    queue.push_back(entry.path);
                } else if (entry.size >= minSize) {
                    take(seen, entry, found);
                }
            }
        }
        sortBySizeDescending(found);
        return listDocument(found);
    }

    QTemporaryDir m_temp;
    QString m_root;
};

TEST_F(WalkedOverTheCores, SearchListsWhatOneOrderedWalkLists) {
    for (const qint64 minSize : {0, 3, 5, 100}) {
        EXPECT_EQ(scanLargeFiles(m_root, static_cast<double>(minSize)),
                  serialSearch({m_root}, minSize))
            << minSize;
    }
    const QString overlapping = m_root + "/top7," + m_root + "," + m_root + "/top3";
    EXPECT_EQ(scanLargeFiles(overlapping, 0),
              serialSearch({m_root + "/top7", m_root, m_root + "/top3"}, 0));
}

TEST_F(WalkedOverTheCores, SearchKeepsOneRecordPerFile) {
    const QJsonArray list = parseObject(scanLargeFiles(m_root, 0)).value("list").toArray();
    const QStringList paths = test_support::pathsOf(list);
    EXPECT_EQ(paths.size(), 40 * 3 * 2 + 40 + 2);  // shared.bin once, by whichever path
    EXPECT_EQ(paths.filter("shared").size(), 1);
    EXPECT_EQ(paths.filter("hidden").size(), 0);
    EXPECT_EQ(paths.filter("link").size(), 0);
}

TEST_F(WalkedOverTheCores, AsynchronousScanEndsWithWhatOneOrderedScanLists) {
    for (const qint64 minSize : {0, 4}) {
        auto recorder = std::make_shared<EventRecorder>();
        const int id = startScanLargeFiles(m_root, static_cast<double>(minSize),
                                           [recorder](const QVariantMap& e) { (*recorder)(e); });
        const auto events = recorder->waitForFinal();
        test_support::expectOneFinalEventLast(events, id);
        EXPECT_EQ(events.back().value("type").toString(), "done");
        EXPECT_EQ(events.back().value("data").toString(), serialScan(m_root, minSize)) << minSize;
    }
}

TEST_F(WalkedOverTheCores, FolderSizeIsTheSumOfOneOrderedWalk) {
    platform::DirectoryFilter filter;
    filter.hidden = true;
    filter.system = true;
    filter.recursive = true;
    platform::DirectoryIterator files(m_root.toStdString(), filter);
    platform::DirectoryEntry entry;
    std::unordered_set<platform::FileIdentity> seen;
    qint64 total = 0;
    while (files.next(entry)) {
        if (entry.isFile && (!entry.identity || seen.insert(*entry.identity).second)) {
            total += entry.size;
        }
    }
    ASSERT_GT(total, 0);
    EXPECT_EQ(getFolderSize(m_root), QString::number(total));
    // c.bin 3, a.bin 4 + 1 + 2, b.bin 2 + 2 + 2, shared.bin 4 (its other names lie elsewhere).
    EXPECT_EQ(getFolderSize(m_root + "/top3"), "20");
}

}  // namespace
}  // namespace pellanor::scan
