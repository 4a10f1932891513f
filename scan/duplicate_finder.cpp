// Only files that share their size are read; only those whose first bytes also agree are read
// whole, and each distinct content is hashed once (content_match.h). That gives the same
// groups as hashing every same-size file.
#include "scan/duplicate_finder.h"

#include <algorithm>
#include <atomic>
#include <string_view>
#include <thread>
#include <unordered_set>

#include "platform/heap_trim.h"
#include "scan/content_match.h"
#include "scan/digest.h"
#include "scan/file_table.h"
#include "scan/folder_list.h"
#include "scan/incremental_reports.h"
#include "scan/parallel.h"
#include "scan/read_ahead.h"
#include "scan/tree_walk.h"

namespace pellanor::scan {
namespace {

constexpr std::chrono::seconds kProgressInterval(2);
const char kFailure[] = "scan duplicate files failed";
// Records whose reads are planned together. Progress and stop checks go on while digests are
// read; only the fingerprint pass of a run holds them up. Runs cost some speed at their seams
// (measured: 16,384-record runs made a 52,637-file scan 12 % slower than one run).
constexpr std::size_t kReadAheadRecords = 65536;
// Threads per core reading the blocking search's files. From a cold cache the reads wait on
// the disk, and one read in flight per core left it mostly idle; with a warm cache the extra
// threads cost little, as each hashes while the others wait.
constexpr unsigned kReadThreadsPerCore = 4;

ScanRegistry<DuplicateFileScanContext>& registry() {
    static ScanRegistry<DuplicateFileScanContext> scans;
    return scans;
}

std::vector<FileRecord> collectFiles(const QString& folder, const std::atomic<bool>* stop) {
    std::vector<FileRecord> files;
    const QString root = scanRoot(folder);
    if (root.isEmpty()) return files;
    platform::DirectoryIterator iterator(root.toStdString(), visibleFiles(true));
    platform::DirectoryEntry entry;
    while ((stop == nullptr || !*stop) && iterator.next(entry)) files.push_back(recordFrom(entry));
    return files;
}

void writeGroupsStart(IndentedJsonWriter& writer) {
    writer.beginObject();
    writer.key(kGroupsKey);
    writer.beginArray();
}

void writeGroupsEnd(IndentedJsonWriter& writer) {
    writer.endArray();
    writer.endObject();
}

// {"files", "hash", "size"}: the caller writes the files between.
void writeGroupEnd(IndentedJsonWriter& writer, const QString& digest, qint64 size) {
    writer.endArray();
    writer.key(kHashKey);
    writer.value(digest);
    writer.key(kSizeKey);
    writer.value(size);
    writer.endObject();
}

void writeGroupStart(IndentedJsonWriter& writer) {
    writer.beginObject();
    writer.key(kFilesKey);
    writer.beginArray();
}

// --- The blocking search: collect, group by size, fingerprint, hash, group by digest. ---

using Row = FileTable::Row;

// The files under `folders`, in the order one walk per folder lists them, walked on every core.
FileTable collectTable(const QStringList& folders) {
    FileTable files;
    for (const QString& folder : folders) {
        const QString root = folder.isEmpty() ? QString() : scanRoot(folder);
        if (root.isEmpty()) continue;
        std::vector<FileTable> parts;
        walkTreesInParts(
            {root.toStdString()}, visibleFiles(true),
            [](const platform::DirectoryEntry&) { return true; },
            [&](std::size_t count) { parts.resize(count); },
            [&](std::size_t part, platform::DirectoryEntry&& entry) { parts[part].add(entry); });
        files.append(parts);
    }
    return files;
}

// The first row of each file in `rows` (walk order): by identity where the walk gave one,
// else by path. Where the walk gives no identity (Windows), asking every file of a shared size
// would cost more than the walk: such paths are told apart once their content has a twin
// (dropRepeatedFiles).
std::vector<Row> firstRowPerFile(const FileTable& files, const Row* begin, const Row* end) {
    std::unordered_set<platform::FileIdentity> identities;
    std::unordered_set<std::string_view> paths;
    std::vector<Row> kept;
    for (const Row* row = begin; row != end; ++row) {
        const auto identity = files.identity(*row);
        if (identity ? identities.insert(*identity).second
                     : paths.insert(files.path(*row)).second) {
            kept.push_back(*row);
        }
    }
    return kept;
}

// Rows of the files that share their size with another, one group per size, by ascending
// size; each group in walk order. Sorting row numbers costs far less than a list per size.
std::vector<std::vector<Row>> sameSizeGroups(const FileTable& files) {
    std::vector<Row> order(files.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<Row>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](Row a, Row b) { return files.fileSize(a) < files.fileSize(b); });
    std::vector<std::vector<Row>> groups;
    for (std::size_t start = 0, end = 0; start < order.size(); start = end) {
        const qint64 size = files.fileSize(order[start]);
        for (end = start + 1; end < order.size() && files.fileSize(order[end]) == size; ++end) {
        }
        if (end - start < 2) continue;
        std::vector<Row> distinct = firstRowPerFile(files, &order[start], order.data() + end);
        if (distinct.size() > 1) groups.push_back(std::move(distinct));
    }
    return groups;
}

// Sets of files that may share their content: all files of a small size or of a size only two
// files have, else the files of one size whose fingerprints agree. Each set lists rows in walk
// order. Two files are compared from their first bytes anyway, and fingerprinting them first
// would open and read each once more.
std::vector<std::vector<Row>> candidateSets(const FileTable& files,
                                            const std::vector<std::vector<Row>>& groups) {
    std::vector<std::vector<Row>> sets;
    std::vector<Row> toFingerprint;
    for (const auto& group : groups) {
        if (files.fileSize(group.front()) <= kFingerprintBytes || group.size() == 2) {
            sets.push_back(group);
        } else {
            toFingerprint.insert(toFingerprint.end(), group.begin(), group.end());
        }
    }
    std::vector<std::optional<std::uint64_t>> prints(toFingerprint.size());
    parallelFor(
        toFingerprint.size(),
        [&](std::size_t i) { prints[i] = fingerprintOfFile(files.qPath(toFingerprint[i])); },
        nullptr, kReadThreadsPerCore);
    // Files of one size are adjacent in toFingerprint.
    for (std::size_t start = 0, end = 0; start < toFingerprint.size(); start = end) {
        const qint64 size = files.fileSize(toFingerprint[start]);
        std::map<std::uint64_t, std::vector<Row>> byPrint;
        for (end = start; end < toFingerprint.size() && files.fileSize(toFingerprint[end]) == size;
             ++end) {
            if (prints[end]) byPrint[*prints[end]].push_back(toFingerprint[end]);
        }
        for (auto& entry : byPrint) {
            if (entry.second.size() > 1) sets.push_back(std::move(entry.second));
        }
    }
    return sets;
}

struct HashedRow {
    Sha256Digest digest;
    Row row;
    bool operator<(const HashedRow& other) const {
        return digest != other.digest ? digest < other.digest : row < other.row;
    }
};

// Keeps the rows whose digest another row shares: sets too large to compare are hashed whole,
// so most digests of a drive belong to one file only.
std::vector<HashedRow> withTwins(std::vector<HashedRow> hashed) {
    std::size_t kept = 0;
    for (std::size_t start = 0, end = 0; start < hashed.size(); start = end) {
        for (end = start + 1; end < hashed.size() && hashed[end].digest == hashed[start].digest;
             ++end) {
        }
        if (end - start < 2) continue;
        for (std::size_t i = start; i < end; ++i) hashed[kept++] = hashed[i];
    }
    hashed.resize(kept);
    hashed.shrink_to_fit();
    return hashed;
}

// The files with a twin and their digests, by digest, each digest's files in walk order.
std::vector<HashedRow> digestsOfCandidates(const FileTable& files,
                                           const std::vector<std::vector<Row>>& groups) {
    std::vector<std::vector<Row>> sets = candidateSets(files, groups);
    // Largest first, so no core is left with one big file at the end.
    std::stable_sort(sets.begin(), sets.end(), [&](const auto& a, const auto& b) {
        return files.fileSize(a.front()) > files.fileSize(b.front());
    });
    std::vector<std::vector<HashedRow>> found(sets.size());
    parallelFor(
        sets.size(),
        [&](std::size_t s) {
            QStringList paths;
            for (Row row : sets[s]) paths << files.qPath(row);
            const qint64 size = files.fileSize(sets[s].front());
            // A small file costs less to hash than to open again for each comparison.
            const auto digests = size <= kFingerprintBytes ? digestsOneByOne(paths, size, nullptr)
                                                           : digestsByContent(paths, size, nullptr);
            for (std::size_t k = 0; k < sets[s].size(); ++k) {
                if (const auto digest = sha256FromText(digests[k].digest)) {
                    found[s].push_back({*digest, sets[s][k]});
                }
            }
        },
        nullptr, kReadThreadsPerCore);
    std::vector<HashedRow> hashed;
    std::size_t total = 0;
    for (const auto& set : found) total += set.size();
    hashed.reserve(total);
    for (auto& set : found) {
        hashed.insert(hashed.end(), set.begin(), set.end());
        set = std::vector<HashedRow>();
    }
    std::sort(hashed.begin(), hashed.end());
    return withTwins(std::move(hashed));
}

// Drops rows that are another path of a file listed before them in `rows` (only rows the walk
// could not identify are asked; see firstRowPerFile).
void dropRepeatedFiles(FileTable& files, std::vector<Row>& rows) {
    std::vector<Row> kept;
    for (Row row : rows) {
        bool repeated = false;
        if (files.identify(row)) {
            for (Row other : kept) {
                files.identify(other);
                repeated = repeated || files.identity(other) == files.identity(row);
            }
        }
        if (!repeated) kept.push_back(row);
    }
    rows = std::move(kept);
}

// Only the files with a twin are written out: they move to a table of their own, numbered in
// the order of `hashed`, so that the walk's table can go before the document is built.
FileTable keepHashedRows(const FileTable& files, std::vector<HashedRow>& hashed) {
    FileTable kept;
    for (std::size_t i = 0; i < hashed.size(); ++i) {
        kept.addRow(files, hashed[i].row);
        hashed[i].row = static_cast<Row>(i);
    }
    return kept;
}

// Each digest's files, one of each file, where there are two or more.
std::vector<std::vector<Row>> twinGroups(FileTable& files, const std::vector<HashedRow>& hashed) {
    std::vector<std::vector<Row>> groups;
    std::vector<Row> rows;
    for (std::size_t start = 0, end = 0; start < hashed.size(); start = end) {
        rows.clear();
        for (end = start; end < hashed.size() && hashed[end].digest == hashed[start].digest;
             ++end) {
            rows.push_back(hashed[end].row);
        }
        dropRepeatedFiles(files, rows);
        if (rows.size() > 1) groups.push_back(rows);
    }
    return groups;
}

QString tableDocument(FileTable& files, const std::vector<HashedRow>& hashed) {
    const std::vector<std::vector<Row>> groups = twinGroups(files, hashed);
    return writtenDocument([&](IndentedJsonWriter& writer) {
        writeGroupsStart(writer);
        for (const std::vector<Row>& rows : groups) {
            writeGroupStart(writer);
            for (Row row : rows) {
                writeFileJson(writer, files.qPath(row), files.fileSize(row),
                              files.modifiedMsecs(row), files.identity(row), files.links(row));
            }
            writeGroupEnd(writer, sha256Text(hashed[rows.front()].digest),
                          files.fileSize(rows.front()));
        }
        writeGroupsEnd(writer);
    });
}

using TwinsByDigest = std::map<QString, std::vector<FileRecord>>;

QString groupsDocument(const TwinsByDigest& byDigest) {
    return writtenDocument([&](IndentedJsonWriter& writer) {
        writeGroupsStart(writer);
        for (const auto& entry : byDigest) {
            if (entry.second.size() < 2) continue;
            writeGroupStart(writer);
            for (const FileRecord& file : entry.second) {
                writeFileJson(writer, file.path, file.size, file.modifiedMsecs, file.identity,
                              file.links);
            }
            writeGroupEnd(writer, entry.first, entry.second.front().size);
        }
        writeGroupsEnd(writer);
    });
}

// --- The asynchronous scan: the same groups, built file by file. ---

QString scanDocument(const DuplicateFileScanContext& context) {
    return groupsDocument(context.filesByDigest);
}

std::optional<std::uint64_t> fingerprintFor(ReadAhead& ahead, const FileRecord& record) {
    if (const auto ready = ahead.fingerprint(record.path)) return *ready;
    return fingerprintOfFile(record.path);
}

// Reads the fingerprints still missing, in order; a file that could not be read is tried
// again when the next file of its size arrives.
void fingerprintMembers(DuplicateFileScanContext& context, ReadAhead& ahead, SameSizeFiles& same) {
    for (std::size_t i = 0; i < same.records.size() && !context.stopRequested; ++i) {
        if (same.fingerprints[i] || same.hashed[i]) continue;
        same.fingerprints[i] = fingerprintFor(ahead, same.records[i]);
        if (same.fingerprints[i]) ++same.fingerprintCounts[*same.fingerprints[i]];
    }
}

bool mayHaveTwin(const SameSizeFiles& same, std::size_t i) {
    if (same.records.front().size <= kFingerprintBytes) return true;
    const auto& print = same.fingerprints[i];
    return print && same.fingerprintCounts.at(*print) > 1;
}

// Hashes, in order, the members not hashed yet that may have a twin.
void hashMembers(DuplicateFileScanContext& context, ReadAhead& ahead, SameSizeFiles& same) {
    if (same.records.front().size > kFingerprintBytes) fingerprintMembers(context, ahead, same);
    for (std::size_t i = 0; i < same.records.size() && !context.stopRequested; ++i) {
        FileRecord& record = same.records[i];
        if (same.hashed[i] || !mayHaveTwin(same, i)) continue;
        QString digest;
        const std::optional<ContentDigest> ready = ahead.digest(record.path);
        if (!ready) {
            digest = sha256OfFile(record.path, &context.stopRequested, record.size);
        } else if (ready->unique) {
            continue;  // nothing in this run shares its bytes; looked at again with the next
        } else {
            digest = ready->digest;
        }
        if (digest.isEmpty()) continue;
        std::vector<FileRecord>& twins = context.filesByDigest[digest];
        if (!repeatsAListedFile(twins, record)) twins.push_back(record);
        same.hashed[i] = true;
    }
}

// False for a file the walk identified, or a path it could not, seen before; such paths are
// told apart once their content has a twin (hashMembers). Paths are kept only for those: the
// identity already tells the others apart, and one path per file of a drive is a lot to hold.
bool takeRecord(DuplicateFileScanContext& context, ReadAhead& ahead, const FileRecord& record) {
    if (record.identity) {
        if (!context.seenFiles.take(record)) return false;
    } else {
        const int seen = context.seenPaths.size();
        context.seenPaths.insert(record.path);  // one lookup where contains-then-insert takes two
        if (context.seenPaths.size() == seen) return false;
    }
    SameSizeFiles& same = context.filesBySize[record.size];
    same.records.push_back(record);
    same.fingerprints.emplace_back();
    same.hashed.push_back(false);
    if (same.records.size() >= 2) hashMembers(context, ahead, same);
    return true;
}

void reportProgressIfDue(DuplicateFileScanContext& context) {
    if (!progressDue(context, kProgressInterval)) return;
    int groups = 0;
    int groupedFiles = 0;
    for (const auto& entry : context.filesByDigest) {
        if (entry.second.size() < 2) continue;
        ++groups;
        groupedFiles += static_cast<int>(entry.second.size());
    }
    if (groups == context.lastGroupCount && groupedFiles == context.lastGroupedFileCount) return;
    context.lastGroupCount = groups;
    context.lastGroupedFileCount = groupedFiles;
    reportProgress(context, dataEvent(kProgressType, context.id, scanDocument(context)));
}

// What the scan reports: every group in every report (AllGroups), or only the groups that are
// new or grew (ChangedGroups).
class AllGroups final {
public:
    void progressIfDue(DuplicateFileScanContext& context) { reportProgressIfDue(context); }
    QString finalText(DuplicateFileScanContext& context) { return scanDocument(context); }
    void commitFinal() {}
};

class ChangedGroups final {
public:
    void progressIfDue(DuplicateFileScanContext& context) {
        if (progressDue(context, kProgressInterval)) {
            m_reports.sendProgress(context, context.filesByDigest);
        }
    }
    QString finalText(DuplicateFileScanContext& context) {
        return m_reports.finalText(context, context.filesByDigest);
    }
    void commitFinal() { m_reports.commitFinal(); }

private:
    ChangedGroupReports m_reports;
};

// Returns the final event.
template <typename Reports>
QVariantMap runScan(DuplicateFileScanContext& context) {
    Reports reports;
    Pacer pacer;
    PendingFolder folder;
    for (;;) {
        while (!context.stopRequested && takeNextFolder(context, folder)) {
            const std::vector<FileRecord> records =
                collectFiles(folder.path, &context.stopRequested);
            for (std::size_t start = 0; start < records.size() && !context.stopRequested;
                 start += kReadAheadRecords) {
                const std::size_t end = std::min(records.size(), start + kReadAheadRecords);
                ReadAhead ahead(context, &records[start], records.data() + end);
                for (std::size_t i = start; i < end && !context.stopRequested; ++i) {
                    if (!takeRecord(context, ahead, records[i])) continue;
                    reports.progressIfDue(context);
                    pacer.pause();
                }
            }
            reports.progressIfDue(context);
            pacer.pause();
        }
        reports.progressIfDue(context);
        const QString document = reports.finalText(context);
        if (registry().finishIfIdle(context)) {
            reports.commitFinal();
            return dataEvent(context.stopRequested ? kStoppedType : kDoneType, context.id,
                             document);
        }
    }
}

template <typename Reports>
int startDuplicateScan(const QString& folders, ScanReport report) {
    auto context = std::make_shared<DuplicateFileScanContext>();
    queueFolders(*context, folders);
    context->callback = std::move(report);
    return startScan(registry(), context, kFailure,
                     [](DuplicateFileScanContext& scanned) { return runScan<Reports>(scanned); });
}

}  // namespace

QString findDuplicateFiles(const QString& folders) {
    std::vector<HashedRow> hashed;
    FileTable twins;
    {
        const FileTable files = collectTable(parseFolderList(folders));
        hashed = digestsOfCandidates(files, sameSizeGroups(files));
        twins = keepHashedRows(files, hashed);
    }
    // The walk's rows and paths were freed on several threads' heaps, and would stay counted
    // against the process while the document takes its place.
    platform::releaseFreeHeapMemory();
    return tableDocument(twins, hashed);
}

int startScanDuplicateFiles(const QString& folders, ScanReport report) {
    return startDuplicateScan<AllGroups>(folders, std::move(report));
}

int startScanDuplicateFilesIncremental(const QString& folders, ScanReport report) {
    return startDuplicateScan<ChangedGroups>(folders, std::move(report));
}

bool stopScanDuplicateFiles(int id) { return registry().stop(id); }

bool addScanDuplicateFilesFolder(int id, const QString& folder) {
    return registry().addFolder(id, folder);
}

}  // namespace pellanor::scan
