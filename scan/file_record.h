// FileRecord, one found file, and the JSON documents built from lists of them.
#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>
#include <unordered_set>
#include <vector>

#include "platform/directory_iterator.h"
#include "platform/file_identity.h"
#include "scan/json_writer.h"

namespace pellanor::scan {

inline constexpr char kPathKey[] = "path";
inline constexpr char kNameKey[] = "name";
inline constexpr char kSizeKey[] = "size";
inline constexpr char kModifiedTimeKey[] = "modifiedTime";
inline constexpr char kListKey[] = "list";
// The file on its volume, "<volumeSerial>:<fileIndex>" in decimal; "" when it could not be
// asked. Two records with one fileId are one file.
inline constexpr char kFileIdKey[] = "fileId";
// Hard links to the file on disk; 0 when they could not be asked. Above 1, deleting the path
// gives no bytes back.
inline constexpr char kLinksKey[] = "links";
// The exact last write, milliseconds since 1970-01-01 UTC ("modifiedTime" is rounded to the
// minute), for checking that the file is still the one that was scanned.
inline constexpr char kModifiedMsecsKey[] = "modifiedMsecs";

// The time is kept as a number and formatted only when a record is written out: most records
// of a duplicate search never are.
// The name is the path's last part, cut out only when a record is written: a scan may hold a
// record for every file of a drive.
struct FileRecord {
    QString path;  // absolute, '/' separators
    qint64 size = 0;
    qint64 modifiedMsecs = 0;  // since 1970-01-01 UTC
    // Known from the walk where it is free (POSIX); elsewhere set by identify().
    std::optional<platform::FileIdentity> identity;
    quint32 links = 0;  // hard links to the file; 0 while unknown
};

FileRecord recordFrom(const platform::DirectoryEntry& entry);

// Asks the file system for the identity and link count of a record that lacks them. True
// when they were asked now and answered; false when already known or the file cannot be
// asked (the record is then told apart by its path only). Blocks.
bool identify(FileRecord& record);

// True when `record` is another path of a file in `listed`. Only records without an identity
// are asked (records the walk identified were told apart when they were taken), and then the
// listed ones without one too; what is learnt stays in the records. For the few files that
// share their content with another: it blocks on one query per record asked.
bool repeatsAListedFile(std::vector<FileRecord>& listed, FileRecord& record);

// The files seen so far by one scan, so that a file reached again through another root, a
// link to a root or a hard link is taken once.
class SeenFiles final {
public:
    // False when the record's file was taken before. A record without an identity counts as a
    // file of its own. Does not block.
    bool take(const FileRecord& record);
    // Whether the record's file was taken; false for a record without an identity.
    bool contains(const FileRecord& record) const;
    bool empty() const { return m_files.empty(); }

private:
    std::unordered_set<platform::FileIdentity> m_files;
};

// "yyyy-MM-dd hh:mm" in local time.
QString modifiedTimeText(const FileRecord& record);

// {"fileId", "links", "modifiedMsecs", "modifiedTime", "name", "path", "size"}.
QJsonObject toJson(const FileRecord& record);

// Writes the object toJson() gives for a record with these fields. Numbers are exact up to
// 2^53, as every size and time is. Does not block.
void writeFileJson(IndentedJsonWriter& writer, const QString& path, qint64 size,
                   qint64 modifiedMsecs, const std::optional<platform::FileIdentity>& identity,
                   quint32 links);

// Largest first; equal sizes in no particular order.
void sortBySizeDescending(std::vector<FileRecord>& records);

// Indented JSON text of {"list": [records in the given order]}.
QString listDocument(const std::vector<FileRecord>& records);

}  // namespace pellanor::scan
