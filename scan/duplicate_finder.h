// Finding groups of files with identical content (same size, then same SHA-256): one blocking
// search and asynchronous scans with progress, extra folders and stop.
#pragma once

#include <QSet>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

#include "scan/file_record.h"
#include "scan/scan_registry.h"

namespace pellanor::scan {

inline constexpr char kGroupsKey[] = "groups";
inline constexpr char kHashKey[] = "hash";
inline constexpr char kFilesKey[] = "files";

// The files of one size seen by a scan, in the order they were seen, with the fingerprint of
// each once it was read (none while unread or unreadable).
struct SameSizeFiles {
    std::vector<FileRecord> records;
    std::vector<std::optional<std::uint64_t>> fingerprints;
    std::vector<bool> hashed;  // whether each record has joined filesByDigest
    std::unordered_map<std::uint64_t, int> fingerprintCounts;
};

struct DuplicateFileScanContext final : ScanContext {
    int lastGroupCount = 0;
    int lastGroupedFileCount = 0;
    // The maps and sets below belong to the worker alone.
    std::map<qint64, SameSizeFiles> filesBySize;
    std::map<QString, std::vector<FileRecord>> filesByDigest;
    QSet<QString> seenPaths;  // only of records without an identity
    SeenFiles seenFiles;
};

// JSON text {"groups": [{"files", "hash", "size"}...]} of the digests shared by two or more
// files under `folders` (as for scanLargeFiles), in ascending digest order, each group's files
// in the order they were found. A file is taken once, by its first path, however many
// folders, links to folders or hard links reach it, so paths of one file never form a group;
// unreadable files never join a group. Blocks; hashes on every core.
QString findDuplicateFiles(const QString& folders);

// Starts a scan on a worker thread and returns its id (the first is 1). `report` gets
// "progress" events (at most every 2 s, only when the groups changed) and exactly one final
// "done", "stopped" or "error" event. Throws std::runtime_error if the worker thread cannot
// be created.
int startScanDuplicateFiles(const QString& folders, ScanReport report);

// As startScanDuplicateFiles, but each report carries counts and only the groups that are new or
// gained files since the previous one, each whole (incremental_reports.h): a page replaces a
// group it has by its "hash". The union of the reports, each group as last sent, is the final
// document of startScanDuplicateFiles. Several "progress" reports follow one another when more
// changed than one report may carry. Stopped and extended with the rows below.
int startScanDuplicateFilesIncremental(const QString& folders, ScanReport report);

// False if no such scan is running; otherwise stops it and returns true. Does not block.
bool stopScanDuplicateFiles(int id);

// Queues one more folder. False if the scan is unknown, finished or stopping.
bool addScanDuplicateFilesFolder(int id, const QString& folder);

}  // namespace pellanor::scan
