// The bookkeeping hashes a file once two or more files of its size share its fingerprint; when
// that holds after the whole run is taken, it happens somewhere in the run, so exactly those
// files are read ahead. Where no file hashed before shares the fingerprint, files of one
// content are hashed once and the rest compared with it; a file unlike all others is marked
// and not hashed. That changes nothing visible: alone it forms no group, and it is looked at
// again when its size recurs.
#include "scan/read_ahead.h"

#include <algorithm>
#include <limits>
#include <system_error>

#include "platform/thread_priority.h"
#include "scan/digest.h"
#include "scan/parallel.h"

namespace pellanor::scan {
namespace {

using Prints = std::unordered_map<QString, std::optional<std::uint64_t>>;

struct Member {
    const FileRecord* record;
    std::optional<std::uint64_t> print;  // known before this run
};

class Planner final {
public:
    Planner(const DuplicateFileScanContext& context, const FileRecord* begin, const FileRecord* end)
        : m_context(context), m_begin(begin), m_end(end) {
        const bool firstFolder = m_context.seenPaths.isEmpty() && m_context.seenFiles.empty();
        for (const FileRecord* record = begin; record != end; ++record) {
            if (firstFolder || !takenBefore(*record)) {
                m_incoming[record->size].push_back(record);
            }
        }
    }

    // Files of sizes that will have two or more members and no fingerprint yet.
    std::vector<const FileRecord*> toFingerprint() const {
        std::vector<const FileRecord*> result;
        for (const auto& entry : m_incoming) {
            if (entry.first <= kFingerprintBytes) continue;
            for (const Member& member : members(entry.first)) {
                if (!member.print) result.push_back(member.record);
            }
        }
        return result;
    }

    // The sets to digest, the soonest needed first.
    std::vector<ReadAhead::Set> sets(const Prints& prints) const {
        std::vector<ReadAhead::Set> result;
        for (const auto& entry : m_incoming) appendSets(entry.first, prints, result);
        std::stable_sort(result.begin(), result.end(),
                         [](const ReadAhead::Set& a, const ReadAhead::Set& b) {
                             return a.firstNeeded < b.firstNeeded;
                         });
        return result;
    }

private:
    bool takenBefore(const FileRecord& record) const {
        return record.identity ? m_context.seenFiles.contains(record)
                               : m_context.seenPaths.contains(record.path);
    }

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
                if (!same.hashed[i]) result.push_back({&same.records[i], same.fingerprints[i]});
            }
        }
        if (total < 2) return {};
        for (const FileRecord* record : m_incoming.at(size)) result.push_back({record, {}});
        return result;
    }

    // Whether a file of `size` hashed before this run has fingerprint `print` (any, without).
    bool hashedBefore(qint64 size, std::optional<std::uint64_t> print) const {
        const auto known = m_context.filesBySize.find(size);
        if (known == m_context.filesBySize.end()) return false;
        const SameSizeFiles& same = known->second;
        for (std::size_t i = 0; i < same.records.size(); ++i) {
            if (same.hashed[i] && (!print || same.fingerprints[i] == print)) return true;
        }
        return false;
    }

    void add(ReadAhead::Set& set, const FileRecord* record) const {
        set.paths << record->path;
        if (record >= m_begin && record < m_end) {
            set.firstNeeded = std::min(set.firstNeeded, static_cast<std::size_t>(record - m_begin));
        }
    }

    static ReadAhead::Set emptySet(qint64 size, bool oneByOne) {
        ReadAhead::Set set;
        set.size = size;
        set.oneByOne = oneByOne;
        set.firstNeeded = std::numeric_limits<std::size_t>::max();
        return set;
    }

    void appendSets(qint64 size, const Prints& prints, std::vector<ReadAhead::Set>& out) const {
        std::vector<Member> all = members(size);
        if (all.empty()) return;
        if (size <= kFingerprintBytes) {
            ReadAhead::Set set = emptySet(size, hashedBefore(size, std::nullopt));
            for (const Member& member : all) add(set, member.record);
            out.push_back(std::move(set));
            return;
        }
        const auto known = m_context.filesBySize.find(size);
        std::unordered_map<std::uint64_t, int> counts;
        if (known != m_context.filesBySize.end()) counts = known->second.fingerprintCounts;
        for (Member& member : all) {
            if (member.print) continue;
            const auto found = prints.find(member.record->path);
            if (found == prints.end() || !found->second) continue;
            member.print = found->second;
            ++counts[*member.print];
        }
        std::map<std::uint64_t, ReadAhead::Set> byPrint;
        for (const Member& member : all) {
            if (!member.print || counts[*member.print] < 2) continue;
            auto slot = byPrint.find(*member.print);
            if (slot == byPrint.end()) {
                slot =
                    byPrint.emplace(*member.print, emptySet(size, hashedBefore(size, member.print)))
                        .first;
            }
            add(slot->second, member.record);
        }
        for (auto& entry : byPrint) out.push_back(std::move(entry.second));
    }

    const DuplicateFileScanContext& m_context;
    const FileRecord* m_begin;
    const FileRecord* m_end;
    std::map<qint64, std::vector<const FileRecord*>> m_incoming;
};

}  // namespace

ReadAhead::ReadAhead(DuplicateFileScanContext& context, const FileRecord* begin,
                     const FileRecord* end)
    : m_context(context) {
    const Planner planner(context, begin, end);
    const std::vector<const FileRecord*> toFingerprint = planner.toFingerprint();
    std::vector<std::optional<std::uint64_t>> prints(toFingerprint.size());
    std::vector<char> read(toFingerprint.size(), 0);  // not vector<bool>: written concurrently
    parallelFor(
        toFingerprint.size(),
        [&](std::size_t i) {
            if (m_context.stopRequested) return;
            prints[i] = fingerprintOfFile(toFingerprint[i]->path);
            read[i] = 1;
        },
        &m_context);
    for (std::size_t i = 0; i < toFingerprint.size(); ++i) {
        if (read[i]) m_fingerprints.emplace(toFingerprint[i]->path, prints[i]);
    }
    // The sets carry copies of the paths: the bookkeeping moves records while readers run.
    m_sets = planner.sets(m_fingerprints);
    for (const Set& set : m_sets) {
        for (const QString& path : set.paths) m_planned.insert(path);
    }
    // One reader fewer than cores: the bookkeeping thread reads the next set itself whenever
    // it would otherwise wait, so the cores stay busy without a third thread competing.
    const std::size_t readers =
        std::min<std::size_t>(m_sets.size(), std::max(1u, std::thread::hardware_concurrency()) - 1);
    for (std::size_t r = 0; r < readers; ++r) {
        try {
            m_readers.emplace_back([this] {
                platform::lowerCurrentThreadPriority();  // not inherited on Windows
                const HelperIoScope enlisted(&m_context);
                while (readNextSet()) {
                }
            });
        } catch (const std::system_error&) {
            break;  // fewer readers: the bookkeeping thread reads the rest
        }
    }
}

ReadAhead::~ReadAhead() {
    for (std::thread& reader : m_readers) reader.join();
}

// Reads the next set not taken yet; false when none is left or a stop was requested.
bool ReadAhead::readNextSet() {
    std::size_t s = 0;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_nextSet >= m_sets.size() || m_context.stopRequested) return false;
        s = m_nextSet++;
        ++m_inFlight;
    }
    const Set& set = m_sets[s];
    std::vector<ContentDigest> found;
    try {
        const std::atomic<bool>* stop = &m_context.stopRequested;
        found = set.oneByOne ? digestsOneByOne(set.paths, set.size, stop)
                             : digestsByContent(set.paths, set.size, stop);
    } catch (...) {
        found.clear();  // out of memory, say: the bookkeeping reads these itself
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    for (std::size_t k = 0; k < found.size(); ++k) {
        m_digests.emplace(set.paths[static_cast<int>(k)], std::move(found[k]));
    }
    --m_inFlight;
    m_ready.notify_all();
    return true;
}

// A file unreadable while the run was read ahead (locked by another program, say) is retried
// when the next file of its size arrives; answering the old failure again would never retry it.
std::optional<std::optional<std::uint64_t>> ReadAhead::fingerprint(const QString& path) {
    const auto found = m_fingerprints.find(path);
    if (found == m_fingerprints.end()) return std::nullopt;
    const std::optional<std::uint64_t> print = found->second;
    if (!print) m_fingerprints.erase(found);
    return print;
}

std::optional<ContentDigest> ReadAhead::digest(const QString& path) {
    if (!m_planned.contains(path)) return std::nullopt;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            const auto found = m_digests.find(path);
            if (found != m_digests.end()) {
                const ContentDigest answer = found->second;
                if (answer.digest.isEmpty() && !answer.unique) {  // failed: see fingerprint()
                    m_digests.erase(found);
                    m_planned.remove(path);
                }
                return answer;
            }
            const bool setsLeft = m_nextSet < m_sets.size() && !m_context.stopRequested;
            // Nothing left to read and nothing being read: a stop or a failed read.
            if (!setsLeft && m_inFlight == 0) return std::nullopt;
            if (!setsLeft) {
                m_ready.wait(lock);
                continue;
            }
        }
        readNextSet();
    }
}

}  // namespace pellanor::scan
