// One file is one entry in every scan form, however many roots, links to roots, spellings or
// hard links reach it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QJsonArray>
#include <QMap>
#include <QSet>
#include <functional>
#include <memory>

#include "platform/file_identity.h"
#include "scan/duplicate_finder.h"
#include "scan/large_file_scanner.h"
#include "scan_test_support.h"

namespace pellanor::scan {
namespace {

using test_support::EventRecorder;
using test_support::parseObject;
using test_support::writeFile;

using Start = std::function<int(const QString&, ScanReport)>;

QJsonObject finalDocument(const Start& start, const QString& folders) {
    auto recorder = std::make_shared<EventRecorder>();
    start(folders, [recorder](const QVariantMap& event) { (*recorder)(event); });
    const auto events = recorder->waitForFinal();
    return parseObject(events.back().value("data").toString());
}

// Every scan form, reduced to its records: the large-file list, or the files of all groups.
struct Form {
    const char* name;
    std::function<QJsonArray(const QString&)> records;
};

QJsonArray groupedFiles(const QJsonObject& document) {
    QJsonArray files;
    for (const QJsonValue& group : document.value("groups").toArray()) {
        for (const QJsonValue& file : group.toObject().value("files").toArray()) files << file;
    }
    return files;
}

// The records of an incremental scan's reports put together, each group as last sent.
QJsonArray incrementalRecords(const Start& start, const QString& folders) {
    auto recorder = std::make_shared<EventRecorder>();
    start(folders, [recorder](const QVariantMap& event) { (*recorder)(event); });
    QJsonArray records;
    QMap<QString, QJsonObject> groups;
    for (const QVariantMap& event : recorder->waitForFinal()) {
        const QJsonObject data = parseObject(event.value("data").toString());
        for (const QJsonValue& record : data.value("list").toArray()) records << record;
        for (const QJsonValue& group : data.value("groups").toArray()) {
            groups.insert(group.toObject().value("hash").toString(), group.toObject());
        }
    }
    for (const QJsonObject& group : groups) {
        for (const QJsonValue& file : group.value("files").toArray()) records << file;
    }
    return records;
}

const Form kForms[] = {
    {"large files",
     [](const QString& f) { return parseObject(scanLargeFiles(f, 0)).value("list").toArray(); }},
    {"large-file scan",
     [](const QString& f) {
         return finalDocument(
                    [](const QString& folders, ScanReport report) {
                        return startScanLargeFiles(folders, 0, std::move(report));
                    },
                    f)
             .value("list")
             .toArray();
     }},
    {"duplicates",
     [](const QString& f) { return groupedFiles(parseObject(findDuplicateFiles(f))); }},
    {"duplicate scan",
     [](const QString& f) { return groupedFiles(finalDocument(startScanDuplicateFiles, f)); }},
    {"large-file scan, incremental",
     [](const QString& f) {
         return incrementalRecords(
             [](const QString& folders, ScanReport report) {
                 return startScanLargeFilesIncremental(folders, 0, std::move(report));
             },
             f);
     }},
    {"duplicate scan, incremental",
     [](const QString& f) { return incrementalRecords(startScanDuplicateFilesIncremental, f); }},
};

bool isDuplicateForm(const Form& form) { return QString(form.name).startsWith("duplicate"); }

class OneEntryPerFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.isValid());
        m_root = m_temp.path() + "/Photos";
        writeFile(m_root + "/a.jpg", "photo a");
        writeFile(m_root + "/sub/b.jpg", "photo b");  // same size, other content
        writeFile(m_root + "/twin-1.txt", "twin text");
        writeFile(m_root + "/sub/twin-2.txt", "twin text");
        writeFile(m_temp.path() + "/sentinel.txt", "keep");
    }

    QTemporaryDir m_temp;
    QString m_root;
};

TEST_F(OneEntryPerFile, OverlappingRootsGiveEachFileOnce) {
    const QString link = m_temp.path() + "/PhotosLink";
    ASSERT_EQ(::symlink(qPrintable(m_root), qPrintable(link)), 0);
    const QString name = QDir(m_temp.path()).dirName();
    const QStringList roots[] = {
        {m_root, m_root},
        {m_root, m_root + "/sub"},
        {m_root + "/sub", m_root},
        {m_root, link},
        {link, m_root},
        {link + "/sub", link},
        {m_root + "/./sub/..", m_root + "/", m_root + "\\sub"},
        {m_temp.path() + "/../" + name + "/Photos", m_root},
    };
    // Records keep the spelling of the root that reached the file first (a protected folder
    // is matched by its spelling), so the files are compared by identity.
    const auto idsOf = [](const QStringList& paths) {
        QStringList ids;
        for (const QString& path : paths) {
            const auto facts = platform::fileFacts(path.toStdString());
            ids << (facts ? QString("%1:%2")
                                .arg(facts->identity.volumeSerial)
                                .arg(facts->identity.fileIndex)
                          : QString());
        }
        ids.sort();
        return ids;
    };
    const QStringList all = idsOf({m_root + "/a.jpg", m_root + "/sub/b.jpg",
                                   m_root + "/sub/twin-2.txt", m_root + "/twin-1.txt"});
    const QStringList twins = idsOf({m_root + "/sub/twin-2.txt", m_root + "/twin-1.txt"});
    for (const Form& form : kForms) {
        for (const QStringList& folders : roots) {
            const QString text =
                QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(folders)).toJson());
            const QJsonArray records = form.records(text);
            QStringList ids;
            for (const QJsonValue& record : records) {
                ids << record.toObject().value("fileId").toString();
            }
            ids.sort();
            EXPECT_EQ(ids, isDuplicateForm(form) ? twins : all)
                << form.name << ": " << folders.join(" | ").toStdString();
            EXPECT_EQ(idsOf(test_support::pathsOf(records)), ids) << form.name;
        }
    }
    EXPECT_TRUE(QFile::exists(m_temp.path() + "/sentinel.txt"));
}

TEST_F(OneEntryPerFile, HardLinksAreOneEntryAndNeverAGroup) {
    ASSERT_EQ(::link(qPrintable(m_root + "/a.jpg"), qPrintable(m_root + "/sub/a-again.jpg")), 0);
    ASSERT_EQ(::link(qPrintable(m_root + "/twin-1.txt"), qPrintable(m_root + "/sub/t.txt")), 0);
    const QString pair = m_temp.path() + "/pair";
    writeFile(pair + "/p1.bin", "pair");
    ASSERT_EQ(::link(qPrintable(pair + "/p1.bin"), qPrintable(pair + "/p2.bin")), 0);
    struct Case {
        QString folders;
        int files;    // listed by the large-file forms
        int grouped;  // in duplicate groups: twin-2.txt and one path of twin-1.txt
    };
    const Case cases[] = {
        {m_root, 4, 2},
        {m_root + "/sub", 4, 2},  // t.txt and twin-2.txt are two files of one content
        {m_root + "," + m_root + "/sub", 4, 2},
        {pair, 1, 0},
    };
    for (const Form& form : kForms) {
        for (const Case& c : cases) {
            const QJsonArray records = form.records(c.folders);
            EXPECT_EQ(records.size(), isDuplicateForm(form) ? c.grouped : c.files)
                << form.name << ": " << c.folders.toStdString();
            QSet<QString> ids;
            for (const QJsonValue& value : records) {
                const QJsonObject record = value.toObject();
                ids << record.value("fileId").toString();
                const auto facts =
                    platform::fileFacts(record.value("path").toString().toStdString());
                ASSERT_TRUE(facts);
                EXPECT_EQ(record.value("links").toDouble(), facts->linkCount)
                    << form.name << ": " << record.value("path").toString().toStdString();
            }
            EXPECT_EQ(ids.size(), records.size()) << form.name << ": " << c.folders.toStdString();
        }
    }
}

// Where the walk gives no identity (Windows), paths are told apart once their content has a
// twin: records made here without one stand for that walk.
TEST_F(OneEntryPerFile, PathsWithoutAnIdentityAreAskedWhenTheyMeetATwin) {
    ASSERT_EQ(::link(qPrintable(m_root + "/twin-1.txt"), qPrintable(m_root + "/again.txt")), 0);
    const auto bare = [](const QString& path) {
        FileRecord record;
        record.path = path;
        return record;
    };
    struct Case {
        QString listed;
        QString record;
        bool repeats;
    };
    const Case cases[] = {
        {m_root + "/twin-1.txt", m_root + "/again.txt", true},
        {m_root + "/twin-1.txt", m_root + "/sub/twin-2.txt", false},
        {m_root + "/twin-1.txt", m_root + "/missing.txt", false},
    };
    for (const Case& c : cases) {
        std::vector<FileRecord> listed{bare(c.listed)};
        FileRecord record = bare(c.record);
        EXPECT_EQ(repeatsAListedFile(listed, record), c.repeats) << c.record.toStdString();
        // What was learnt stays, so the records write their identity and link count.
        if (record.identity) {
            EXPECT_TRUE(listed.front().identity);
            EXPECT_EQ(listed.front().links, 2u);
        }
    }
    // A record the walk identified was told apart when it was taken, and is not asked again.
    std::vector<FileRecord> listed{bare(m_root + "/twin-1.txt")};
    FileRecord walked = bare(m_root + "/again.txt");
    walked.identity = platform::FileIdentity{1, 2};
    EXPECT_FALSE(repeatsAListedFile(listed, walked));
    EXPECT_FALSE(listed.front().identity);
}

}  // namespace
}  // namespace pellanor::scan
