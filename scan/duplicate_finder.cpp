// Only files that share their size are read, and only those whose first bytes also agree are
// read whole; that gives the same groups as hashing every same-size file.
#include "scan/duplicate_finder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <thread>

#include "scan/digest.h"
#include "scan/folder_list.h"

namespace pellanor::scan {
namespace {

constexpr std::chrono::seconds kProgressInterval(2);
const char kFailure[] = "scan duplicate files failed";
// Records whose reads are worked out and done together; small enough that progress and stop
// checks between runs stay frequent.
constexpr std::size_t kPrefetchRecords = 2048;

ScanRegistry<DuplicateFileScanContext>& registry() {
    static ScanRegistry<DuplicateFileScanContext> scans;
    return scans;
}

// Runs work(i) for i in [0, count) on every core. Items are independent file reads.
template <typename Work>
void parallelFor(std::size_t count, const Work& work) {
    const std::size_t threads =
        std::min<std::size_t>(count, std::max(1u, std::thread::hardware_concurrency()));
    std::atomic<std::size_t> next{0};
    const auto drain = [&] {
        for (std::size_t i = next++; i < count; i = next++) work(i);
    };
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(drain);
    drain();
    for (std::thread& helper : helpers) helper.join();
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

// The members of larger same-size groups whose fingerprint matches another member's.
std::vector<std::size_t> fingerprintMatches(const std::vector<FileRecord>& files,
                                            const std::vector<std::size_t>& members) {
    std::vector<std::optional<std::uint64_t>> prints(members.size());
    parallelFor(members.size(),
                [&](std::size_t i) { prints[i] = fingerprintOfFile(files[members[i]].path); });
    std::vector<std::size_t> matches;
    std::size_t start = 0;
    while (start < members.size()) {
        std::size_t end = start;
        while (end < members.size() && files[members[end]].size == files[members[start]].size) {
            ++end;
        }
        std::unordered_map<std::uint64_t, int> counts;
        for (std::size_t i = start; i < end; ++i) {
            if (prints[i]) ++counts[*prints[i]];
        }
        for (std::size_t i = start; i < end; ++i) {
            if (prints[i] && counts[*prints[i]] > 1) matches.push_back(members[i]);
        }
        start = end;
    }
    return matches;
}

// Per file, its SHA-256 where it may belong to a group; empty elsewhere.
std::vector<QString> digestsOfCandidates(const std::vector<FileRecord>& files,
                                         const std::vector<std::vector<std::size_t>>& groups) {
    std::vector<std::size_t> toHash;
    std::vector<std::size_t> toFingerprint;
    for (const auto& group : groups) {
        auto& target = files[group.front()].size <= kFingerprintBytes ? toHash : toFingerprint;
        target.insert(target.end(), group.begin(), group.end());
    }
    const std::vector<std::size_t> matches = fingerprintMatches(files, toFingerprint);
    toHash.insert(toHash.end(), matches.begin(), matches.end());
    std::vector<QString> digests(files.size());
    parallelFor(toHash.size(),
                [&](std::size_t i) { digests[toHash[i]] = sha256OfFile(files[toHash[i]].path); });
    return digests;
}

QString searchDocument(const std::vector<FileRecord>& files,
                       const std::vector<std::vector<std::size_t>>& groups,
                       const std::vector<QString>& digests) {
    std::map<QString, std::vector<FileRecord>> byDigest;
    for (const auto& group : groups) {
        for (std::size_t i : group) {
            if (!digests[i].isEmpty()) byDigest[digests[i]].push_back(files[i]);
        }
    }
    QJsonArray list;
    for (const auto& entry : byDigest) {
        if (entry.second.size() > 1) list.append(groupJson(entry.first, entry.second));
    }
    return QString::fromUtf8(QJsonDocument(QJsonObject{{kGroupsKey, list}}).toJson());
}

// --- The asynchronous scan: the same groups, built file by file. ---

QString scanDocument(const DuplicateFileScanContext& context) {
    QJsonArray list;
    for (const auto& entry : context.filesByDigest) {
        if (entry.second.size() > 1) list.append(groupJson(entry.first, entry.second));
    }
    return QString::fromUtf8(QJsonDocument(QJsonObject{{kGroupsKey, list}}).toJson());
}

// Fingerprint and digest of a file from the prefetch, else read now.
std::optional<std::uint64_t> fingerprintFor(DuplicateFileScanContext& context,
                                            const FileRecord& record) {
    const auto found = context.prefetchedFingerprints.find(record.path);
    if (found == context.prefetchedFingerprints.end()) return fingerprintOfFile(record.path);
    const auto value = found->second;
    context.prefetchedFingerprints.erase(found);
    return value;
}

QString digestFor(DuplicateFileScanContext& context, const FileRecord& record) {
    const auto found = context.prefetchedDigests.find(record.path);
    if (found == context.prefetchedDigests.end()) {
        return sha256OfFile(record.path, &context.stopRequested, record.size);
    }
    QString value = found->second;
    context.prefetchedDigests.erase(found);
    return value;
}

// Reads the fingerprints still missing, in order; a file that could not be read is tried
// again when the next file of its size arrives.
void fingerprintMembers(DuplicateFileScanContext& context, SameSizeFiles& same) {
    for (std::size_t i = 0; i < same.records.size() && !context.stopRequested; ++i) {
        if (same.fingerprints[i] || context.hashedPaths.contains(same.records[i].path)) continue;
        same.fingerprints[i] = fingerprintFor(context, same.records[i]);
        if (same.fingerprints[i]) ++same.fingerprintCounts[*same.fingerprints[i]];
    }
}

bool mayHaveTwin(const SameSizeFiles& same, std::size_t i) {
    if (same.records.front().size <= kFingerprintBytes) return true;
    const auto& print = same.fingerprints[i];
    return print && same.fingerprintCounts.at(*print) > 1;
}

// Hashes, in order, the members not hashed yet that may have a twin.
void hashMembers(DuplicateFileScanContext& context, SameSizeFiles& same) {
    if (same.records.front().size > kFingerprintBytes) fingerprintMembers(context, same);
    for (std::size_t i = 0; i < same.records.size() && !context.stopRequested; ++i) {
        const FileRecord& record = same.records[i];
        if (context.hashedPaths.contains(record.path) || !mayHaveTwin(same, i)) continue;
        const QString digest = digestFor(context, record);
        if (digest.isEmpty()) continue;
        context.filesByDigest[digest].push_back(record);
        context.hashedPaths.insert(record.path);
    }
}

// What the ordered bookkeeping of a run of records will read, worked out ahead and read on
// every core; the bookkeeping then finds the answers ready, so events and results stay those
// of the one-file-at-a-time algorithm. A member whose bucket holds two or more fingerprints
// once the whole run is taken is hashed at some point of the run, so that is the set read.
class Prefetch final {
public:
    Prefetch(DuplicateFileScanContext& context, const FileRecord* begin, const FileRecord* end)
        : m_context(context) {
        QSet<QString> taken;
        for (const FileRecord* record = begin; record != end; ++record) {
            if (m_context.seenPaths.contains(record->path) || taken.contains(record->path))
                continue;
            taken.insert(record->path);
            m_incoming[record->size].push_back(record);
        }
    }

    void run() {
        std::vector<const FileRecord*> toFingerprint;
        std::vector<const FileRecord*> toHash;
        for (const auto& entry : m_incoming) {
            for (const Member& member : members(entry.first)) {
                if (entry.first > kFingerprintBytes && !member.print) {
                    toFingerprint.push_back(member.record);
                }
            }
        }
        read(toFingerprint, m_context.prefetchedFingerprints,
             [](const FileRecord& record) { return fingerprintOfFile(record.path); });
        for (const auto& entry : m_incoming) appendHashCandidates(entry.first, toHash);
        read(toHash, m_context.prefetchedDigests, [this](const FileRecord& record) {
            return sha256OfFile(record.path, &m_context.stopRequested, record.size);
        });
    }

private:
    struct Member {
        const FileRecord* record;
        std::optional<std::uint64_t> print;  // as known before this run
    };

    // The unhashed members of one size once the run is taken, old ones first; none if the
    // size will not have two files.
    std::vector<Member> members(qint64 size) const {
        std::vector<Member> result;
        const auto known = m_context.filesBySize.find(size);
        std::size_t total = m_incoming.at(size).size();
        if (known != m_context.filesBySize.end()) {
            const SameSizeFiles& same = known->second;
            total += same.records.size();
            for (std::size_t i = 0; i < same.records.size(); ++i) {
                if (m_context.hashedPaths.contains(same.records[i].path)) continue;
                result.push_back({&same.records[i], same.fingerprints[i]});
            }
        }
        if (total < 2) return {};
        for (const FileRecord* record : m_incoming.at(size)) result.push_back({record, {}});
        return result;
    }

    void appendHashCandidates(qint64 size, std::vector<const FileRecord*>& toHash) const {
        std::vector<Member> all = members(size);
        if (size <= kFingerprintBytes) {
            for (const Member& member : all) toHash.push_back(member.record);
            return;
        }
        const auto known = m_context.filesBySize.find(size);
        std::unordered_map<std::uint64_t, int> counts;
        if (known != m_context.filesBySize.end()) counts = known->second.fingerprintCounts;
        for (Member& member : all) {
            if (member.print) continue;
            const auto found = m_context.prefetchedFingerprints.find(member.record->path);
            if (found == m_context.prefetchedFingerprints.end() || !found->second) continue;
            member.print = found->second;
            ++counts[*member.print];
        }
        for (const Member& member : all) {
            if (member.print && counts[*member.print] > 1) toHash.push_back(member.record);
        }
    }

    template <typename Cache, typename ReadOne>
    void read(std::vector<const FileRecord*> records, Cache& cache, const ReadOne& readOne) {
        std::stable_sort(
            records.begin(), records.end(),
            [](const FileRecord* a, const FileRecord* b) { return a->size > b->size; });
        std::vector<std::optional<typename Cache::mapped_type>> results(records.size());
        parallelFor(records.size(), [&](std::size_t i) {
            if (!m_context.stopRequested) results[i] = readOne(*records[i]);
        });
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (results[i]) cache.emplace(records[i]->path, std::move(*results[i]));
        }
    }

    DuplicateFileScanContext& m_context;
    std::map<qint64, std::vector<const FileRecord*>> m_incoming;
};

// False for a path seen before.
bool takeRecord(DuplicateFileScanContext& context, const FileRecord& record) {
    if (context.seenPaths.contains(record.path)) return false;
    context.seenPaths.insert(record.path);
    SameSizeFiles& same = context.filesBySize[record.size];
    same.records.push_back(record);
    same.fingerprints.emplace_back();
    if (same.records.size() >= 2) hashMembers(context, same);
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
    context.callback(dataEvent(kProgressType, context.id, scanDocument(context)));
}

// Returns the final event.
QVariantMap runScan(DuplicateFileScanContext& context) {
    Pacer pacer;
    PendingFolder folder;
    for (;;) {
        while (!context.stopRequested && takeNextFolder(context, folder)) {
            const std::vector<FileRecord> records =
                collectFiles(folder.path, &context.stopRequested);
            for (std::size_t start = 0; start < records.size() && !context.stopRequested;
                 start += kPrefetchRecords) {
                const std::size_t end = std::min(records.size(), start + kPrefetchRecords);
                Prefetch(context, &records[start], records.data() + end).run();
                for (std::size_t i = start; i < end && !context.stopRequested; ++i) {
                    if (!takeRecord(context, records[i])) continue;
                    reportProgressIfDue(context);
                    pacer.pause();
                }
                context.prefetchedFingerprints.clear();
                context.prefetchedDigests.clear();
            }
            reportProgressIfDue(context);
            pacer.pause();
        }
        reportProgressIfDue(context);
        const QString document = scanDocument(context);
        if (registry().finishIfIdle(context)) {
            return dataEvent(context.stopRequested ? kStoppedType : kDoneType, context.id,
                             document);
        }
    }
}

}  // namespace

QString findDuplicateFiles(const QString& folders) {
    const std::vector<FileRecord> files = collectUniqueFiles(parseFolderList(folders));
    const auto groups = sameSizeGroups(files);
    return searchDocument(files, groups, digestsOfCandidates(files, groups));
}

int startScanDuplicateFiles(const QString& folders, ScanReport report) {
    auto context = std::make_shared<DuplicateFileScanContext>();
    for (const QString& folder : parseFolderList(folders)) {
        if (!folder.isEmpty()) context->pendingFolders.push_back({folder, false});
    }
    context->callback = std::move(report);
    return launchScanWorker(
        [context](std::shared_ptr<platform::BlockingIoCanceller> handle) {
            context->threadHandle = std::move(handle);
            return registry().add(context);
        },
        [context] {
            QVariantMap finalEvent;
            try {
                finalEvent = runScan(*context);
            } catch (...) {
                registry().remove(context->id);
                finalEvent = errorEvent(context->id, QString::fromLatin1(kFailure));
            }
            context->callback(finalEvent);
        });
}

bool stopScanDuplicateFiles(int id) { return registry().stop(id); }

bool addScanDuplicateFilesFolder(int id, const QString& folder) {
    return registry().addFolder(id, folder);
}

}  // namespace pellanor::scan
