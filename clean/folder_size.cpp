// Recursive folder size with cancellation and hard-link-aware counting.
#include "clean/folder_size.h"

#include "clean/file_walk.h"
#include "platform/file_identity.h"

namespace pellanor {

QString seenFileKey(const QString& path) {
    const auto identity = platform::fileIdentity(path.toStdString());
    if (!identity) return {};
    return QStringLiteral("%1:%2").arg(identity->volumeSerial).arg(identity->fileIndex);
}

quint64 computeFolderSize(const QString& path, const CancelPredicate& cancel,
                          SeenFileSet* seenFiles) {
    quint64 sum = 0;
    walkFiles(path, [&](const QString& file, qint64 size) {
        if (cancel && cancel()) return false;
        if (seenFiles != nullptr) {
            const QString key = seenFileKey(file);
            if (!key.isNull()) {
                if (seenFiles->contains(key)) return true;
                seenFiles->insert(key);
            }
        }
        sum += static_cast<quint64>(size);
        return true;
    });
    return sum;
}

}  // namespace pellanor
