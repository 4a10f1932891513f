#include "scan/content_match.h"

#include <cstring>
#include <memory>

#include "platform/file_reader.h"
#include "scan/digest.h"

namespace pellanor::scan {
namespace {

constexpr std::size_t kCompareChunk = 64 * 1024;

enum class Comparison { Same, Different, CandidateUnreadable, ReferenceUnreadable };

// Fills `buffer` up to `capacity` unless the file ends first; -1 on a failed read.
std::int64_t readFull(platform::FileReader& file, char* buffer, std::size_t capacity) {
    std::size_t filled = 0;
    while (filled < capacity) {
        const std::int64_t count = file.read(buffer + filled, capacity - filled);
        if (count < 0) return -1;
        if (count == 0) break;
        filled += static_cast<std::size_t>(count);
    }
    return static_cast<std::int64_t>(filled);
}

Comparison compare(const QString& candidatePath, const QString& referencePath, qint64 size,
                   const std::atomic<bool>* stop) {
    thread_local std::unique_ptr<char[]> buffers(new char[2 * kCompareChunk]);
    char* const ours = buffers.get();
    char* const theirs = buffers.get() + kCompareChunk;
    platform::FileReader candidate;
    platform::FileReader reference;
    if (!candidate.open(candidatePath.toStdString(), size)) return Comparison::CandidateUnreadable;
    if (!reference.open(referencePath.toStdString(), size)) return Comparison::ReferenceUnreadable;
    for (;;) {
        if (stop != nullptr && *stop) return Comparison::CandidateUnreadable;
        const std::int64_t a = readFull(candidate, ours, kCompareChunk);
        if (a < 0) return Comparison::CandidateUnreadable;
        const std::int64_t b = readFull(reference, theirs, kCompareChunk);
        if (b < 0) return Comparison::ReferenceUnreadable;
        if (a != b || std::memcmp(ours, theirs, static_cast<std::size_t>(a)) != 0) {
            return Comparison::Different;
        }
        if (a == 0) return Comparison::Same;
    }
}

}  // namespace

std::vector<ContentDigest> digestsOneByOne(const QStringList& paths, qint64 size,
                                           const std::atomic<bool>* stop) {
    std::vector<ContentDigest> result(static_cast<std::size_t>(paths.size()));
    for (int i = 0; i < paths.size(); ++i) {
        result[static_cast<std::size_t>(i)].digest = sha256OfFile(paths[i], stop, size);
    }
    return result;
}

std::vector<ContentDigest> digestsByContent(const QStringList& paths, qint64 size,
                                            const std::atomic<bool>* stop) {
    if (paths.size() > kMaxComparedFiles) return digestsOneByOne(paths, size, stop);
    const std::size_t count = static_cast<std::size_t>(paths.size());
    std::vector<std::size_t> references;             // one file per distinct content
    std::vector<std::size_t> classOf(count, count);  // its reference; `count` when unreadable
    for (std::size_t i = 0; i < count; ++i) {
        bool unreadable = false;
        for (std::size_t reference : references) {
            const Comparison outcome =
                compare(paths[static_cast<int>(i)], paths[static_cast<int>(reference)], size, stop);
            // A reference that turned unreadable midway leaves no sound shortcut.
            if (outcome == Comparison::ReferenceUnreadable)
                return digestsOneByOne(paths, size, stop);
            if (outcome == Comparison::Different) continue;
            if (outcome == Comparison::Same) classOf[i] = reference;
            unreadable = outcome == Comparison::CandidateUnreadable;
            break;
        }
        if (classOf[i] != count || unreadable) continue;
        references.push_back(i);
        classOf[i] = i;
    }
    std::vector<ContentDigest> result(count);
    for (std::size_t reference : references) {
        QStringList members;
        for (std::size_t i = 0; i < count; ++i) {
            if (classOf[i] == reference) members << paths[static_cast<int>(i)];
        }
        if (members.size() < 2) {
            result[reference].unique = true;
            continue;
        }
        const QString digest = sha256OfFile(paths[static_cast<int>(reference)], stop, size);
        // The reference vanished after the comparisons: its twins still count one by one.
        const std::vector<ContentDigest> each =
            digest.isEmpty() ? digestsOneByOne(members, size, stop) : std::vector<ContentDigest>();
        for (std::size_t i = 0, member = 0; i < count; ++i) {
            if (classOf[i] != reference) continue;
            result[i].digest = digest.isEmpty() ? each[member].digest : digest;
            ++member;
        }
    }
    return result;
}

}  // namespace pellanor::scan
