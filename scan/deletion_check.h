// What a deletion from a result list knows of each file (what the scan saw of it and of the
// copies that stay) and the check that the file on disk is still that file.
#pragma once

#include <QString>
#include <atomic>
#include <optional>
#include <vector>

#include "platform/file_identity.h"

namespace pellanor::scan {

// Keys of an entry the pages hand over; a scan's records carry the same ones.
inline constexpr char kEntryPathKey[] = "path";
inline constexpr char kEntrySizeKey[] = "size";
inline constexpr char kEntryModifiedKey[] = "modifiedMsecs";
inline constexpr char kEntryFileIdKey[] = "fileId";
inline constexpr char kEntryKeepKey[] = "keep";

// Copies up to this size are compared byte for byte with the doomed file before it goes:
// reading both costs well under a second even on a slow disk.
inline constexpr qint64 kByteCompareLimit = 64 * 1024 * 1024;

// One file as the scan saw it. `path` is as the page gave it; `hostPath` is where it is.
struct SeenFile {
    QString path;
    std::string hostPath;
    qint64 size = 0;
    qint64 modifiedMsecs = 0;
    platform::FileIdentity identity;
};

struct DeletionEntry {
    SeenFile file;
    // For a duplicate (an entry with "keep", even an empty one): the copies that stay. One of
    // them must still be there, unchanged and a different file, or the doomed copy stays.
    bool duplicate = false;
    std::vector<SeenFile> kept;
};

// "<volumeSerial>:<fileIndex>" in decimal; nullopt for anything else.
std::optional<platform::FileIdentity> parseFileId(const QString& text);

// The entries of a JSON array text of {"path", "size", "modifiedMsecs", "fileId", "keep": [...]}
// objects, paths mapped with platform::localPath. An element that lacks one of these facts (or
// is not an object) gives an entry with an empty `hostPath`, which the check refuses. nullopt
// when the text is not a JSON array. Does not block.
std::optional<std::vector<DeletionEntry>> parseDeletionEntries(const QString& json);

enum class CheckResult { Unchanged, Missing, Changed };

// Whether the file is still the one the scan saw (identity, size, modification time, a plain
// file), and for a duplicate whether a kept copy is too, is not the same file and, when both
// are at most kByteCompareLimit bytes, holds the same bytes. `facts` receives what the doomed
// file is now. Missing when the doomed file is gone. A set `stop` ends a byte comparison early
// as Changed. Blocks on the file system.
CheckResult checkEntry(const DeletionEntry& entry, platform::FileFacts& facts,
                       const std::atomic<bool>* stop);

}  // namespace pellanor::scan
