#include "scan/file_record.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>

namespace pellanor::scan {

FileRecord recordFrom(const platform::DirectoryEntry& entry) {
    return {QString::fromStdString(entry.path), QString::fromStdString(entry.name), entry.size,
            entry.modifiedMsecs};
}

QString modifiedTimeText(const FileRecord& record) {
    return QDateTime::fromMSecsSinceEpoch(record.modifiedMsecs, Qt::LocalTime)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm"));
}

QJsonObject toJson(const FileRecord& record) {
    return {{kPathKey, record.path},
            {kNameKey, record.name},
            {kSizeKey, static_cast<double>(record.size)},
            {kModifiedTimeKey, modifiedTimeText(record)}};
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
