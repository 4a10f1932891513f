// Only files that share their size are read; only those whose first bytes also agree are read
// whole, and each distinct content is hashed once (content_match.h). That gives the same
// groups as hashing every same-size file.
#include "scan/duplicate_finder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <thread>

#include "scan/content_match.h"
#include "scan/digest.h"
#include "scan/folder_list.h"
#include "scan/incremental_reports.h"
#include "scan/parallel.h"
#include "scan/read_ahead.h"

namespace pellanor::scan {
namespace {

constexpr std::chrono::seconds kProgressInterval(2);
const char kFailure[] = "scan duplicate files failed";
// Records whose reads are planned together. Progress and stop checks go on while digests are
// read; only the fingerprint pass of a run holds them up. Runs cost some speed at their seams
// (measured: 16,384-record runs made a 52,637-file scan 12 % slower than one run).
constexpr std::size_t kReadAheadRecords = 65536;

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

QJsonObject groupJson(const QString& digest, const std::vector<FileRecord>& files) {
    QJsonArray list;
    for (const FileRecord& file : files) list.append(toJson(file));
    return {
        {kHashKey, digest}, {kSizeKey, static_cast<double>(files.front().size)}, {kFilesKey, list}};
}

// --- The blocking search: collect, group by size, fingerprint, hash, group by digest. ---

std::vector<FileRecord> collectUniqueFiles(const QStringList& folders) {
    std::vector<FileRecord> files;
    QSet<QString> seen;
    for (const QString& folder : folders) {
        if (folder.isEmpty()) continue;
        for (FileRecord& file : collectFiles(folder, nullptr)) {
            if (seen.contains(file.path)) continue;
            seen.insert(file.path);
            files.push_back(std::move(file));
        }
    }
    return files;
}

// Keeps the first path of each file the walk identified in every group, so that no file is
// read twice. Paths of one file have one size. Where the walk gives no identity (Windows),
// asking every file of a shared size would cost more than the walk: such paths are told apart
// once their content has a twin (repeatsAListedFile).
void keepOnePathPerFile(const std::vector<FileRecord>& files,
                        std::vector<std::vector<std::size_t>>& groups) {
    std::vector<std::vector<std::size_t>> kept;
    for (const auto& group : groups) {
        SeenFiles seen;
        std::vector<std::size_t> distinct;
        for (std::size_t i : group) {
            if (seen.take(files[i])) distinct.push_back(i);
        }
        if (distinct.size() > 1) kept.push_back(std::move(distinct));
    }
    groups = std::move(kept);
}

// Indexes of the files that share their size with another, by ascending size.
std::vector<std::vector<std::size_t>> sameSizeGroups(const std::vector<FileRecord>& files) {
    std::map<qint64, std::vector<std::size_t>> bySize;
    for (std::size_t i = 0; i < files.size(); ++i) bySize[files[i].size].push_back(i);
    std::vector<std::vector<std::size_t>> groups;
    for (auto& entry : bySize) {
        if (entry.second.size() > 1) groups.push_back(std::move(entry.second));
    }
    return groups;
}

// Sets of files that may share their content: all files of a small size, else the files of
// one size whose fingerprints agree. Each set lists indexes in collection order.
std::vector<std::vector<std::size_t>> candidateSets(
    const std::vector<FileRecord>& files, const std::vector<std::vector<std::size_t>>& groups) {
    std::vector<std::vector<std::size_t>> sets;
    std::vector<std::size_t> toFingerprint;
    for (const auto& group : groups) {
        if (files[group.front()].size <= kFingerprintBytes) {
            sets.push_back(group);
        } else {
            toFingerprint.insert(toFingerprint.end(), group.begin(), group.end());
        }
    }
    std::vector<std::optional<std::uint64_t>> prints(toFingerprint.size());
    parallelFor(toFingerprint.size(), [&](std::size_t i) {
        prints[i] = fingerprintOfFile(files[toFingerprint[i]].path);
    });
    // Files of one size are adjacent in toFingerprint.
    for (std::size_t start = 0, end = 0; start < toFingerprint.size(); start = end) {
        const qint64 size = files[toFingerprint[start]].size;
        std::map<std::uint64_t, std::vector<std::size_t>> byPrint;
        for (end = start; end < toFingerprint.size() && files[toFingerprint[end]].size == size;
             ++end) {
            if (prints[end]) byPrint[*prints[end]].push_back(toFingerprint[end]);
        }
        for (auto& entry : byPrint) {
            if (entry.second.size() > 1) sets.push_back(std::move(entry.second));
        }
    }
    return sets;
}

// Per file, its SHA-256 where it has a twin; empty elsewhere.
std::vector<QString> digestsOfCandidates(const std::vector<FileRecord>& files,
                                         const std::vector<std::vector<std::size_t>>& groups) {
    std::vector<std::vector<std::size_t>> sets = candidateSets(files, groups);
    // Largest first, so no core is left with one big file at the end.
    std::stable_sort(sets.begin(), sets.end(), [&](const auto& a, const auto& b) {
        return files[a.front()].size > files[b.front()].size;
    });
    std::vector<QString> digests(files.size());
    parallelFor(sets.size(), [&](std::size_t s) {
        QStringList paths;
        for (std::size_t i : sets[s]) paths << files[i].path;
        const auto found = digestsByContent(paths, files[sets[s].front()].size, nullptr);
        for (std::size_t k = 0; k < sets[s].size(); ++k) digests[sets[s][k]] = found[k].digest;
    });
    return digests;
}

using TwinsByDigest = std::map<QString, std::vector<FileRecord>>;

// Moves the records of files with a twin out of `files`.
TwinsByDigest twinsByDigest(std::vector<FileRecord>& files,
                            const std::vector<std::vector<std::size_t>>& groups,
                            const std::vector<QString>& digests) {
    TwinsByDigest byDigest;
    for (const auto& group : groups) {
        for (std::size_t i : group) {
            if (digests[i].isEmpty()) continue;
            std::vector<FileRecord>& twins = byDigest[digests[i]];
            if (!repeatsAListedFile(twins, files[i])) twins.push_back(std::move(files[i]));
        }
    }
    return byDigest;
}

// The JSON tree, its UTF-8 text and the returned text are each as large as the document; each
// goes as soon as the next is built, so no more than two are held at once.
QString groupsDocument(const TwinsByDigest& byDigest) {
    QByteArray text;
    {
        QJsonArray list;
        for (const auto& entry : byDigest) {
            if (entry.second.size() > 1) list.append(groupJson(entry.first, entry.second));
        }
        QJsonObject root;
        root.insert(QLatin1String(kGroupsKey), list);
        list = QJsonArray();
        text = QJsonDocument(root).toJson();
    }
    return QString::fromUtf8(text);
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
        context.hashedPaths.insert(record.path);
        same.hashed[i] = true;
    }
}

// False for a path, or a file the walk identified, seen before; paths the walk could not
// identify are told apart once their content has a twin (hashMembers).
bool takeRecord(DuplicateFileScanContext& context, ReadAhead& ahead, const FileRecord& record) {
    const int seen = context.seenPaths.size();
    context.seenPaths.insert(record.path);  // one lookup where contains-then-insert takes two
    if (context.seenPaths.size() == seen || !context.seenFiles.take(record)) return false;
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
                context.seenPaths.reserve(context.seenPaths.size() + static_cast<int>(end - start));
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
    std::vector<FileRecord> files = collectUniqueFiles(parseFolderList(folders));
    auto groups = sameSizeGroups(files);
    keepOnePathPerFile(files, groups);
    std::vector<QString> digests = digestsOfCandidates(files, groups);
    const TwinsByDigest twins = twinsByDigest(files, groups, digests);
    // The records and digests of files without a twin, most of them, go before the document
    // is built (a by-value parameter would live until the caller's whole statement ends).
    files = std::vector<FileRecord>();
    digests = std::vector<QString>();
    return groupsDocument(twins);
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
