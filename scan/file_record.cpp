// Found files as records and JSON, and the identity checks that keep one record per file.
#include "scan/file_record.h"

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace pellanor::scan {
namespace {

// Built in one step: a large-file list may hold every file of a drive.
QString fileIdText(const std::optional<platform::FileIdentity>& identity) {
    if (!identity) return QStringLiteral("");
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%" PRIu32 ":%" PRIu64,
                                     identity->volumeSerial, identity->fileIndex);
    return QString::fromLatin1(text, length);
}

// Converting to local time costs several microseconds (a time-zone lookup), and files tend to
// share their times, so texts are kept per whole second: within one second the local offset
// cannot change the minute shown.
QString timeText(qint64 msecs) {
    constexpr int kCacheLimit = 8192;
    thread_local QHash<qint64, QString> cache;
    const qint64 second = msecs >= 0 ? msecs / 1000 : (msecs - 999) / 1000;
    const auto found = cache.constFind(second);
    if (found != cache.constEnd()) return found.value();
    if (cache.size() >= kCacheLimit) cache.clear();
    const QString text = QDateTime::fromMSecsSinceEpoch(second * 1000, Qt::LocalTime)
                             .toString(QStringLiteral("yyyy-MM-dd hh:mm"));
    cache.insert(second, text);
    return text;
}

QString nameOf(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

}  // namespace

FileRecord recordFrom(const platform::DirectoryEntry& entry) {
    return {QString::fromStdString(entry.path), entry.size, entry.modifiedMsecs, entry.identity,
            entry.linkCount};
}

bool identify(FileRecord& record) {
    if (record.identity) return false;
    const auto facts = platform::fileFacts(record.path.toStdString());
    if (!facts || !facts->isFile) return false;
    record.identity = facts->identity;
    record.links = facts->linkCount;
    return true;
}

bool repeatsAListedFile(std::vector<FileRecord>& listed, FileRecord& record) {
    if (record.identity || !identify(record)) return false;
    for (FileRecord& other : listed) {
        identify(other);
        if (other.identity == record.identity) return true;
    }
    return false;
}

bool SeenFiles::take(const FileRecord& record) {
    return !record.identity || m_files.insert(*record.identity).second;
}

bool SeenFiles::contains(const FileRecord& record) const {
    return record.identity && m_files.count(*record.identity) > 0;
}

QString modifiedTimeText(const FileRecord& record) { return timeText(record.modifiedMsecs); }

QJsonObject toJson(const FileRecord& record) {
    return {{kPathKey, record.path},
            {kNameKey, nameOf(record.path)},
            {kSizeKey, static_cast<double>(record.size)},
            {kModifiedTimeKey, modifiedTimeText(record)},
            {kFileIdKey, fileIdText(record.identity)},
            {kLinksKey, static_cast<double>(record.links)},
            {kModifiedMsecsKey, static_cast<double>(record.modifiedMsecs)}};
}

// The keys in the sorted order Qt's writer gives them.
void writeFileJson(IndentedJsonWriter& writer, const QString& path, qint64 size,
                   qint64 modifiedMsecs, const std::optional<platform::FileIdentity>& identity,
                   quint32 links) {
    writer.beginObject();
    writer.key(kFileIdKey);
    writer.value(fileIdText(identity));
    writer.key(kLinksKey);
    writer.value(static_cast<qint64>(links));
    writer.key(kModifiedMsecsKey);
    writer.value(modifiedMsecs);
    writer.key(kModifiedTimeKey);
    writer.value(timeText(modifiedMsecs));
    writer.key(kNameKey);
    writer.value(nameOf(path));
    writer.key(kPathKey);
    writer.value(path);
    writer.key(kSizeKey);
    writer.value(size);
    writer.endObject();
}

void sortBySizeDescending(std::vector<FileRecord>& records) {
    std::sort(records.begin(), records.end(),
              [](const FileRecord& a, const FileRecord& b) { return a.size > b.size; });
}

QString listDocument(const std::vector<FileRecord>& records) {
    QJsonArray list;
    for (const FileRecord& record : records) list.append(toJson(record));
    return QString::fromUtf8(QJsonDocument(QJsonObject{{kListKey, list}}).toJson());
}

}  // namespace pellanor::scan
