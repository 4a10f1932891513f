// The incremental scans: their reports, put together, give what the whole-result scans give,
// and none of them carries more rows than a page parses in a frame.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <atomic>
#include <functional>
#include <memory>

#include "scan/duplicate_finder.h"
#include "scan/file_record.h"
#include "scan/incremental_reports.h"
#include "scan/large_file_scanner.h"
#include "scan/report_text.h"
#include "scan_test_support.h"

namespace pellanor::scan {
namespace {

using test_support::EventRecorder;
using test_support::parseObject;
using test_support::writeFile;

TEST(ReportText, WritesRecordsAsTheWholeResultDocumentsDo) {
    const QString lone = QString(QChar(0xdc80));
    const QString pair = QString::fromUtf8("\xf0\x9f\x93\xb7");
    const FileRecord records[] = {
        {"/plain/file.bin", 5000000000, 1700000000123, platform::FileIdentity{7, 123456789}, 2},
        {"/q\"uote/back\\slash\ttab\nline\x01.bin", 0, -86400001, std::nullopt, 0},
        {"/ünïcode/\u2028\u00a0" + pair + lone + "end", 9007199254740992, 0, std::nullopt, 1},
        {"no-slash", 1, 1, platform::FileIdentity{4294967295u, 18446744073709551615u}, 3},
    };
    for (const FileRecord& record : records) {
        QString written;
        appendRecordJson(written, record);
        const QByteArray qt =
            QJsonDocument(QJsonArray{toJson(record)}).toJson(QJsonDocument::Compact);
        EXPECT_EQ(written, QString::fromUtf8(qt.mid(1, qt.size() - 2)))
            << record.path.toStdString();
    }
}

// A scan's reports folded as a page folds them: records or groups by hash, and every report's
// rows and counts checked against that union as it stands after the report.
struct Union {
    QMap<QString, QJsonObject> records;  // by path
    QMap<QString, QJsonObject> groups;   // by hash
    std::size_t reports = 0;
    QString finalType;
};

int rowsOf(const QJsonObject& data) {
    if (data.contains("list")) return data.value("list").toArray().size();
    int rows = 0;
    for (const QJsonValue& group : data.value("groups").toArray()) {
        rows += group.toObject().value("files").toArray().size();
    }
    return rows;
}

void fold(Union& into, const QJsonObject& data) {
    for (const QJsonValue& value : data.value("list").toArray()) {
        const QString path = value.toObject().value("path").toString();
        EXPECT_FALSE(into.records.contains(path)) << "reported twice: " << path.toStdString();
        into.records.insert(path, value.toObject());
    }
    for (const QJsonValue& value : data.value("groups").toArray()) {
        const QJsonObject group = value.toObject();
        const QJsonObject before = into.groups.value(group.value("hash").toString());
        EXPECT_GT(group.value("files").toArray().size(), before.value("files").toArray().size())
            << "a group sent again without a new file";
        into.groups.insert(group.value("hash").toString(), group);
    }
    if (data.contains("list")) {
        double bytes = 0;
        for (const QJsonObject& record : into.records) bytes += record.value("size").toDouble();
        EXPECT_EQ(data.value("count").toInt(), into.records.size());
        EXPECT_EQ(data.value("bytes").toDouble(), bytes);
    } else {
        int files = 0;
        for (const QJsonObject& group : into.groups) files += group.value("files").toArray().size();
        EXPECT_EQ(data.value("groupCount").toInt(), into.groups.size());
        EXPECT_EQ(data.value("fileCount").toInt(), files);
    }
}

Union unionOf(const std::vector<QVariantMap>& events, int id) {
    test_support::expectOneFinalEventLast(events, id);
    Union folded;
    for (const QVariantMap& event : events) {
        const QJsonObject data = parseObject(event.value("data").toString());
        const int rows = rowsOf(data);
        EXPECT_TRUE(rows <= kReportRows || data.value("groups").toArray().size() == 1)
            << rows << " rows in one report";
        fold(folded, data);
    }
    folded.reports = events.size();
    folded.finalType = events.back().value("type").toString();
    return folded;
}

// The whole-result scan's final document as a union: files of a group in a stable order, as
// the order of files within a group depends on which folder a scan visited first.
Union wholeResult(const std::function<int(const QString&, ScanReport)>& start,
                  const QString& folders) {
    auto recorder = std::make_shared<EventRecorder>();
    start(folders, [recorder](const QVariantMap& e) { (*recorder)(e); });
    const QJsonObject data = parseObject(recorder->waitForFinal().back().value("data").toString());
    Union whole;
    for (const QJsonValue& value : data.value("list").toArray()) {
        whole.records.insert(value.toObject().value("path").toString(), value.toObject());
    }
    for (const QJsonValue& value : data.value("groups").toArray()) {
        whole.groups.insert(value.toObject().value("hash").toString(), value.toObject());
    }
    return whole;
}

QMap<QString, QJsonObject> filesOf(const QMap<QString, QJsonObject>& groups) {
    QMap<QString, QJsonObject> files;
    for (const QJsonObject& group : groups) {
        for (const QJsonValue& file : group.value("files").toArray()) {
            files.insert(file.toObject().value("path").toString(), file.toObject());
        }
    }
    return files;
}

struct Kind {
    const char* name;
    std::function<int(const QString&, ScanReport)> incremental;
    std::function<int(const QString&, ScanReport)> whole;
    std::function<bool(int)> stop;
    std::function<bool(int, const QString&)> add;
};

const Kind kKinds[] = {
    {"large files",
     [](const QString& f, ScanReport r) { return startScanLargeFilesIncremental(f, 0, r); },
     [](const QString& f, ScanReport r) { return startScanLargeFiles(f, 0, r); },
     stopScanLargeFiles, addScanLargeFilesFolder},
    {"duplicates", startScanDuplicateFilesIncremental, startScanDuplicateFiles,
     stopScanDuplicateFiles, addScanDuplicateFilesFolder},
};

class IncrementalScans : public ::testing::Test {
protected:
    // Twice the row bound and more in pairs of equal files, so both kinds need several reports;
    // "more" holds a third copy of some of them, so those groups grow when it is added.
    static void SetUpTestSuite() {
        s_temp = new QTemporaryDir;
        const QString root = s_temp->path();
        for (int i = 0; i < kReportRows + 400; ++i) {
            const QByteArray content = QByteArray::number(i).repeated(1 + i % 5);
            writeFile(QString("%1/main/d%2/a%3.bin").arg(root).arg(i % 40).arg(i), content);
            writeFile(QString("%1/main/e%2/b%3.bin").arg(root).arg(i % 30).arg(i), content);
            if (i % 9 == 0) writeFile(QString("%1/more/c%2.bin").arg(root).arg(i), content);
        }
        writeFile(root + "/sentinel.txt", "keep");
    }
    static void TearDownTestSuite() { delete s_temp; }

    static QString path(const char* name) { return s_temp->path() + "/" + name; }
    static QTemporaryDir* s_temp;
};

QTemporaryDir* IncrementalScans::s_temp = nullptr;

enum class Twist { None, AddFolder, Stop };

TEST_F(IncrementalScans, ReportsTogetherGiveTheWholeResultWithinTheRowBound) {
    struct Case {
        const char* name;
        Twist twist;
    };
    const Case cases[] = {{"several reports", Twist::None},
                          {"a folder added while running", Twist::AddFolder},
                          {"stopped at once", Twist::Stop}};
    for (const Kind& kind : kKinds) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(kind.name) + ": " + c.name);
            auto recorder = std::make_shared<EventRecorder>();
            // The folder is added from the first report, so groups already sent gain files; a
            // scan this small sends its first reports only as it is about to end.
            auto addOnce = std::make_shared<std::atomic<int>>(c.twist == Twist::AddFolder ? 0 : -1);
            const Kind* scan = &kind;
            const QString more = path("more");
            const int id = kind.incremental(path("main"), [=](const QVariantMap& e) {
                int expected = 0;
                if (addOnce->compare_exchange_strong(expected, -1)) {
                    *addOnce = scan->add(e.value("id").toInt(), more) ? 1 : -1;
                }
                (*recorder)(e);
            });
            bool stopped = false;
            if (c.twist == Twist::Stop) stopped = kind.stop(id);
            const Union got = unionOf(recorder->waitForFinal(), id);
            const bool added = *addOnce == 1;
            const QString folders = path("main") + (added ? "," + path("more") : QString());
            Union whole = wholeResult(kind.whole, folders);
            EXPECT_EQ(got.finalType, stopped ? "stopped" : "done");
            if (stopped) {
                // What a stopped scan reported is a part of the whole, record for record.
                QMap<QString, QJsonObject> all = filesOf(whole.groups);
                all.insert(whole.records);
                QMap<QString, QJsonObject> reported = filesOf(got.groups);
                reported.insert(got.records);
                for (const QJsonObject& file : reported) {
                    EXPECT_EQ(file, all.value(file.value("path").toString()));
                }
                continue;
            }
            EXPECT_GE(got.reports, 3u);
            EXPECT_EQ(got.records, whole.records);
            EXPECT_EQ(got.groups.keys(), whole.groups.keys());
            EXPECT_EQ(filesOf(got.groups), filesOf(whole.groups));
            EXPECT_EQ(added, c.twist == Twist::AddFolder);
        }
    }
    EXPECT_TRUE(QFile::exists(path("sentinel.txt")));
}

}  // namespace
}  // namespace pellanor::scan
