// Recursive folder size with cancellation and hard-link-aware counting.
#include "clean/folder_size.h"

#include "clean/file_walk.h"
#include "platform/file_identity.h"

namespace pellanor {
namespace {

QString keyOf(const platform::FileIdentity& identity) {
    return QString::number(identity.volumeSerial) + QLatin1Char(':') +
           QString::number(identity.fileIndex);
}

}  // namespace

QString seenFileKey(const QString& path) {
    const auto identity = platform::fileIdentity(path.toStdString());
    return identity ? keyOf(*identity) : QString();
}

quint64 computeFolderSize(const QString& path, const CancelPredicate& cancel,
                          SeenFileSet* seenFiles) {
    quint64 sum = 0;
    walkFiles(path, [&](const QString& file, qint64 size,
                        const std::optional<platform::FileIdentity>& identity) {
        if (cancel && cancel()) return false;
        if (seenFiles != nullptr) {
            // The walk's own answer saves opening every file a second time.
            const QString key = identity ? keyOf(*identity) : seenFileKey(file);
            if (!key.isNull()) {
                // One hash lookup instead of contains() then insert(): the set grows unless the
                // file was seen before.
                const int before = seenFiles->size();
                seenFiles->insert(key);
                if (seenFiles->size() == before) return true;
            }
        }
        sum += static_cast<quint64>(size);
        return true;
    });
    return sum;
}

}  // namespace pellanor
