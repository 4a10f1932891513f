// The reports of the incremental scans: counts, and only what is new since the previous report,
// cut into reports of at most kReportRows rows, so that a page parses any one of them whole
// within a frame however much a scan finds.
//
// Large files: data is JSON text {"bytes", "count", "list": [records not reported before]}.
// Duplicates: {"fileCount", "groupCount", "groups": [{"files", "hash", "size"}...]}, each group
// new or grown since it was last reported, sent whole (a page replaces the group it has by its
// "hash"), in ascending digest order within a report. The counts are those of everything
// reported so far, this report included: the records of the union, or its groups and their
// files. Records are written as the whole-result documents write them (toJson), compactly.
#pragma once

#include <QHash>
#include <QString>
#include <map>
#include <utility>
#include <vector>

#include "scan/file_record.h"
#include "scan/scan_registry.h"

namespace pellanor::scan {

// Rows in one report at most: a record, or a file of a group. A group is never split, so a
// group with more files than this goes alone in a report of its own.
inline constexpr int kReportRows = 2000;

inline constexpr char kCountKey[] = "count";
inline constexpr char kGroupCountKey[] = "groupCount";
inline constexpr char kFileCountKey[] = "fileCount";

// The large files a scan found and has not reported yet. Worker thread only.
class NewRecordReports final {
public:
    // Where the scan puts what it finds.
    std::vector<FileRecord>& pending() { return m_pending; }

    // Reports everything pending as "progress", in as many reports as the row bound needs.
    void sendProgress(ScanContext& context);

    // Reports all but the last part of what is pending as "progress" and returns the text of
    // that last part (empty list when nothing is left) for the final report. It counts as
    // reported only after commitFinal(); until then the scan may go on and send it later.
    QString finalText(ScanContext& context);
    void commitFinal();

private:
    QString text(std::size_t begin, std::size_t end, qint64 count, qint64 bytes) const;
    void countIn(std::size_t begin, std::size_t end, qint64& count, qint64& bytes) const;
    std::size_t sendParts(ScanContext& context, bool all);

    std::vector<FileRecord> m_pending;
    qint64 m_count = 0;
    qint64 m_bytes = 0;
};

using GroupsByDigest = std::map<QString, std::vector<FileRecord>>;

// Which groups of a duplicate scan the page has, and with how many files. Worker thread only.
class ChangedGroupReports final {
public:
    // Reports, as "progress", the groups of two or more files that are new or grew since they
    // were last reported. False when there were none.
    bool sendProgress(ScanContext& context, const GroupsByDigest& groups);

    // As NewRecordReports::finalText, for the changed groups.
    QString finalText(ScanContext& context, const GroupsByDigest& groups);
    void commitFinal();

private:
    using Group = GroupsByDigest::value_type;
    using Part = std::vector<const Group*>;

    std::vector<Part> changedParts(const GroupsByDigest& groups) const;
    QString text(const Part& part, int groupCount, int fileCount) const;
    void countIn(const Part& part, int& groupCount, int& fileCount) const;
    void markSent(const Part& part);
    void send(ScanContext& context, const Part& part);

    QHash<QString, int> m_reportedFiles;  // by digest
    int m_groupCount = 0;
    int m_fileCount = 0;
    // The digests and file counts of the final text, counted as reported by commitFinal().
    std::vector<std::pair<QString, int>> m_finalGroups;
};

}  // namespace pellanor::scan
