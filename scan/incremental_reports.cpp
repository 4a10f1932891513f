// Parts are sent back to back: the worker's callback returns only once the page has taken the
// report, so a page that falls behind holds the worker up instead of piling up reports.
#include "scan/incremental_reports.h"

#include <algorithm>

#include "scan/duplicate_finder.h"
#include "scan/report_text.h"

namespace pellanor::scan {
namespace {

// About what one record takes as text, so that a report's string grows once.
constexpr int kRecordChars = 224;

void appendCount(QString& out, const char* key, qint64 value) {
    appendJsonKey(out, key);
    appendJsonNumber(out, value);
    out += QLatin1Char(',');
}

}  // namespace

QString NewRecordReports::text(std::size_t begin, std::size_t end, qint64 count,
                               qint64 bytes) const {
    QString out;
    out.reserve(static_cast<int>(end - begin) * kRecordChars + 64);
    out += QLatin1Char('{');
    appendCount(out, kBytesKey, bytes);
    appendCount(out, kCountKey, count);
    appendJsonKey(out, kListKey);
    out += QLatin1Char('[');
    for (std::size_t i = begin; i < end; ++i) {
        if (i != begin) out += QLatin1Char(',');
        appendRecordJson(out, m_pending[i]);
    }
    out += QLatin1String("]}");
    return out;
}

void NewRecordReports::countIn(std::size_t begin, std::size_t end, qint64& count,
                               qint64& bytes) const {
    count += static_cast<qint64>(end - begin);
    for (std::size_t i = begin; i < end; ++i) bytes += m_pending[i].size;
}

// Sends the pending records in parts, the last one included only when `all`; returns where
// the records not sent begin.
std::size_t NewRecordReports::sendParts(ScanContext& context, bool all) {
    std::size_t begin = 0;
    const std::size_t rows = kReportRows;
    while (m_pending.size() - begin > (all ? 0 : rows)) {
        const std::size_t end = std::min(m_pending.size(), begin + rows);
        countIn(begin, end, m_count, m_bytes);
        reportProgress(context,
                       dataEvent(kProgressType, context.id, text(begin, end, m_count, m_bytes)));
        begin = end;
    }
    return begin;
}

void NewRecordReports::sendProgress(ScanContext& context) {
    sendParts(context, true);
    m_pending.clear();
}

QString NewRecordReports::finalText(ScanContext& context) {
    const std::size_t sent = sendParts(context, false);
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(sent));
    qint64 count = m_count;
    qint64 bytes = m_bytes;
    countIn(0, m_pending.size(), count, bytes);
    return text(0, m_pending.size(), count, bytes);
}

void NewRecordReports::commitFinal() {
    countIn(0, m_pending.size(), m_count, m_bytes);
    m_pending.clear();
}

// Groups in digest order, cut where the next group would take a part over the row bound.
std::vector<ChangedGroupReports::Part> ChangedGroupReports::changedParts(
    const GroupsByDigest& groups) const {
    std::vector<Part> parts;
    int rows = 0;
    for (const Group& group : groups) {
        const int files = static_cast<int>(group.second.size());
        if (files < 2 || m_reportedFiles.value(group.first, 0) == files) continue;
        if (parts.empty() || (rows + files > kReportRows && !parts.back().empty())) {
            parts.emplace_back();
            rows = 0;
        }
        parts.back().push_back(&group);
        rows += files;
    }
    return parts;
}

void ChangedGroupReports::countIn(const Part& part, int& groupCount, int& fileCount) const {
    for (const Group* group : part) {
        const int before = m_reportedFiles.value(group->first, 0);
        if (before == 0) ++groupCount;
        fileCount += static_cast<int>(group->second.size()) - before;
    }
}

void ChangedGroupReports::markSent(const Part& part) {
    for (const Group* group : part) {
        m_reportedFiles.insert(group->first, static_cast<int>(group->second.size()));
    }
}

QString ChangedGroupReports::text(const Part& part, int groupCount, int fileCount) const {
    int rows = 0;
    for (const Group* group : part) rows += static_cast<int>(group->second.size());
    QString out;
    out.reserve(rows * kRecordChars + static_cast<int>(part.size()) * 128 + 64);
    out += QLatin1Char('{');
    appendCount(out, kFileCountKey, fileCount);
    appendCount(out, kGroupCountKey, groupCount);
    appendJsonKey(out, kGroupsKey);
    out += QLatin1Char('[');
    for (const Group* group : part) {
        if (group != part.front()) out += QLatin1Char(',');
        out += QLatin1Char('{');
        appendJsonKey(out, kFilesKey);
        out += QLatin1Char('[');
        for (const FileRecord& file : group->second) {
            if (&file != &group->second.front()) out += QLatin1Char(',');
            appendRecordJson(out, file);
        }
        out += QLatin1String("],");
        appendJsonKey(out, kHashKey);
        appendJsonString(out, group->first);
        out += QLatin1Char(',');
        appendJsonKey(out, kSizeKey);
        appendJsonNumber(out, group->second.front().size);
        out += QLatin1Char('}');
    }
    out += QLatin1String("]}");
    return out;
}

void ChangedGroupReports::send(ScanContext& context, const Part& part) {
    countIn(part, m_groupCount, m_fileCount);
    markSent(part);
    reportProgress(context,
                   dataEvent(kProgressType, context.id, text(part, m_groupCount, m_fileCount)));
}

bool ChangedGroupReports::sendProgress(ScanContext& context, const GroupsByDigest& groups) {
    const std::vector<Part> parts = changedParts(groups);
    for (const Part& part : parts) send(context, part);
    return !parts.empty();
}

QString ChangedGroupReports::finalText(ScanContext& context, const GroupsByDigest& groups) {
    std::vector<Part> parts = changedParts(groups);
    const Part last = parts.empty() ? Part() : parts.back();
    if (!parts.empty()) parts.pop_back();
    for (const Part& part : parts) send(context, part);
    int groupCount = m_groupCount;
    int fileCount = m_fileCount;
    countIn(last, groupCount, fileCount);
    m_finalGroups.clear();
    for (const Group* group : last) {
        m_finalGroups.emplace_back(group->first, static_cast<int>(group->second.size()));
    }
    return text(last, groupCount, fileCount);
}

void ChangedGroupReports::commitFinal() {
    for (const auto& group : m_finalGroups) {
        const int before = m_reportedFiles.value(group.first, 0);
        if (before == 0) ++m_groupCount;
        m_fileCount += group.second - before;
        m_reportedFiles.insert(group.first, group.second);
    }
    m_finalGroups.clear();
}

}  // namespace pellanor::scan
