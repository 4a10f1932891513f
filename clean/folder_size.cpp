// Recursive folder size with cancellation and hard-link-aware counting, and the bytes a junk
// rule's clean gives back.
#include "clean/folder_size.h"

#include <cinttypes>
#include <cstdio>
#include <unordered_map>

#include "clean/file_walk.h"
#include "platform/directory_iterator.h"
#include "platform/file_identity.h"
#include "platform/tree_removal.h"

namespace pellanor {
namespace {

// Built in one step: a measurement makes one key per file, often a hundred thousand.
QString keyOf(const platform::FileIdentity& identity) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%" PRIu32 ":%" PRIu64,
                                     identity.volumeSerial, identity.fileIndex);
    return QString::fromLatin1(text, length);
}

QString keyOf(const std::string& path) {
    const auto identity = platform::fileIdentity(path);
    return identity ? keyOf(*identity) : QString();
}

// Removing one name of a file that has others frees nothing; its bytes come back only when the
// last name goes, so such files are held until the walk has met all their names or ended.
class Reclaimed final {
public:
    void add(const platform::DirectoryEntry& file) {
        if (!file.identity || file.linkCount <= 1) {
            m_sum += static_cast<quint64>(file.size);
            return;
        }
        Linked& linked = m_linked[*file.identity];
        linked.size = static_cast<quint64>(file.size);
        if (++linked.met == file.linkCount) m_sum += linked.size;
    }
    quint64 total() const { return m_sum; }

private:
    struct Linked {
        quint64 size = 0;
        std::uint32_t met = 0;
    };
    quint64 m_sum = 0;
    std::unordered_map<platform::FileIdentity, Linked> m_linked;
};

// Adds every file under `folder`, hidden ones too; false once cancelled.
bool addTree(const std::string& folder, Reclaimed& reclaimed, const CancelPredicate& cancel) {
    platform::DirectoryFilter filter;
    filter.hidden = true;
    filter.recursive = true;
    platform::DirectoryIterator it(folder, filter);
    platform::DirectoryEntry entry;
    while (it.next(entry)) {
        if (cancel && cancel()) return false;
        reclaimed.add(entry);
    }
    return true;
}

// The visible entries directly in `folder` go, and their sub-folders whole; the hidden ones
// stay with everything inside them.
void addVisibleTop(const std::string& folder, Reclaimed& reclaimed, const CancelPredicate& cancel) {
    platform::DirectoryFilter filter;
    filter.directories = true;
    platform::DirectoryIterator it(folder, filter);
    platform::DirectoryEntry entry;
    while (it.next(entry)) {
        if (entry.isDirectory) {
            if (!addTree(entry.path, reclaimed, cancel)) return;
        } else {
            if (cancel && cancel()) return;
            reclaimed.add(entry);
        }
    }
}

}  // namespace

QString seenFileKey(const QString& path) { return keyOf(path.toStdString()); }

quint64 computeFolderSize(const QString& path, const CancelPredicate& cancel,
                          SeenFileSet* seenFiles) {
    quint64 sum = 0;
    walkFiles(path, [&](const platform::DirectoryEntry& file) {
        if (cancel && cancel()) return false;
        if (seenFiles != nullptr) {
            // The walk's own answer saves opening every file a second time.
            const QString key = file.identity ? keyOf(*file.identity) : keyOf(file.path);
            if (!key.isNull()) {
                // One hash lookup instead of contains() then insert(): the set grows unless the
                // file was seen before.
                const int before = seenFiles->size();
                seenFiles->insert(key);
                if (seenFiles->size() == before) return true;
            }
        }
        sum += static_cast<quint64>(file.size);
        return true;
    });
    return sum;
}

quint64 reclaimableFolderSize(const QString& path, FolderClean clean,
                              const CancelPredicate& cancel) {
    const std::string folder = path.toStdString();
    if (folder.empty() || platform::leadsElsewhere(folder)) return 0;
    Reclaimed reclaimed;
    if (clean == FolderClean::Empty) {
        addVisibleTop(folder, reclaimed, cancel);
    } else {
        addTree(folder, reclaimed, cancel);
    }
    return reclaimed.total();
}

}  // namespace pellanor
