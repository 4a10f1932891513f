// The digest and folder-size requests of the pages, each logged as it comes.
#include "scan/file_facts.h"

#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <exception>
#include <mutex>
#include <unordered_set>

#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/file_identity.h"
#include "platform/paths.h"
#include "scan/digest.h"
#include "scan/tree_walk.h"

namespace pellanor::scan {
namespace {

const char kTag[] = "NativeUtil";

QString hostPath(const QString& path) {
    return QString::fromStdString(platform::localPath(path.toStdString()));
}

}  // namespace

QString getFileSha256(const QString& path) {
    logging::info(kTag, "try to get file {} sha256", path);
    return sha256OfFile(hostPath(path));
}

QString getFolderSize(const QString& path) {
    logging::info(kTag, "try to get folder size: {}", path);
    const QString root = hostPath(path);
    if (root.isEmpty() || !QFileInfo(root).isDir()) return QStringLiteral("0");
    const QFileInfo given(QDir::cleanPath(root));
    if (given.isSymLink() || given.isJunction()) return QStringLiteral("0");
    platform::DirectoryFilter filter;
    filter.hidden = true;
    filter.system = true;
    std::atomic<qint64> total{0};
    // Only files with other names can be met twice; the rest need no bookkeeping. Whichever
    // thread meets such a file first counts it, so the sum does not depend on the order.
    std::mutex linkedMutex;
    std::unordered_set<platform::FileIdentity> linked;
    try {
        walkTrees({root.toStdString()}, filter, [&](const platform::DirectoryEntry& entry) {
            if (!entry.isFile) return false;
            if (entry.identity && entry.linkCount > 1) {
                const std::lock_guard<std::mutex> lock(linkedMutex);
                if (!linked.insert(*entry.identity).second) return false;
            }
            total += entry.size;
            return false;
        });
    } catch (const std::exception&) {
        logging::info(kTag, "get folder size failed: {}", path);
    }
    return QString::number(total.load());
}

}  // namespace pellanor::scan
