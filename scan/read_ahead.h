// Reading ahead for the asynchronous duplicate scan: which fingerprints and digests its ordered,
// one-file-at-a-time bookkeeping will ask for in a run of records is worked out first, and
// those files are read on every core while the bookkeeping goes on.
#pragma once

#include <QSet>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "scan/content_match.h"
#include "scan/duplicate_finder.h"

namespace pellanor::scan {

class ReadAhead final {
public:
    // Plans for the records [begin, end) of one walk (each path at most once), reads their
    // fingerprints (blocks, all cores) and starts reading the digests in the background.
    // `context` must not change until the fingerprints are read, i.e. until this returns.
    ReadAhead(DuplicateFileScanContext& context, const FileRecord* begin, const FileRecord* end);
    // Waits for the background reads, which end early after a stop.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The fingerprint read for `path`; nullopt if none was planned. A failed read is answered
    // once; after that the path counts as not planned, so the caller reads the file anew.
    std::optional<std::optional<std::uint64_t>> fingerprint(const QString& path);

    // The digest planned for `path`; while it is not read yet, reads other planned sets or
    // waits. nullopt if none was planned or it was not read (after a stop). A failed read is
    // answered once, as for fingerprints.
    std::optional<ContentDigest> digest(const QString& path);

    // Files whose fingerprint may equal another's, the same across one size.
    struct Set {
        qint64 size = 0;
        QStringList paths;
        bool oneByOne = false;        // a file hashed before shares the fingerprint
        std::size_t firstNeeded = 0;  // position in the run of its first new record
    };

private:
    bool readNextSet();

    DuplicateFileScanContext& m_context;
    std::unordered_map<QString, std::optional<std::uint64_t>> m_fingerprints;
    std::vector<Set> m_sets;
    QSet<QString> m_planned;
    std::mutex m_mutex;  // guards the three members below
    std::condition_variable m_ready;
    std::unordered_map<QString, ContentDigest> m_digests;
    std::size_t m_nextSet = 0;
    std::size_t m_inFlight = 0;
    std::vector<std::thread> m_readers;
};

}  // namespace pellanor::scan
