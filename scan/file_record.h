// FileRecord, one found file, and the JSON documents built from lists of them.
#pragma once

#include <QJsonObject>
#include <QString>
#include <vector>

#include "platform/directory_iterator.h"

namespace pellanor::scan {

inline constexpr char kPathKey[] = "path";
inline constexpr char kNameKey[] = "name";
inline constexpr char kSizeKey[] = "size";
inline constexpr char kModifiedTimeKey[] = "modifiedTime";
inline constexpr char kListKey[] = "list";

// The time is kept as a number and formatted only when a record is written out: most records
// of a duplicate search never are.
struct FileRecord {
    QString path;  // absolute, '/' separators
    QString name;
    qint64 size = 0;
    qint64 modifiedMsecs = 0;  // since 1970-01-01 UTC
};

FileRecord recordFrom(const platform::DirectoryEntry& entry);

// "yyyy-MM-dd hh:mm" in local time.
QString modifiedTimeText(const FileRecord& record);

// {"modifiedTime", "name", "path", "size"}.
QJsonObject toJson(const FileRecord& record);

// Largest first; equal sizes in no particular order.
void sortBySizeDescending(std::vector<FileRecord>& records);

// Indented JSON text of {"list": [records in the given order]}.
QString listDocument(const std::vector<FileRecord>& records);

}  // namespace pellanor::scan
