// Recursive folder size with cancellation and hard-link-aware counting.
#include "clean/folder_size.h"

#include <cinttypes>
#include <cstdio>

#include "clean/file_walk.h"
#include "platform/file_identity.h"

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

}  // namespace pellanor
