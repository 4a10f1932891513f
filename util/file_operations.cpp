#include "util/file_operations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/paths.h"

namespace pellanor::util {
namespace {

constexpr char kTag[] = "NativeUtil";

// The host's form of a path; Windows takes either separator itself, the stand-in needs slashes.
QString hostPath(const QString& path) {
    return QString::fromStdString(platform::localPath(path.toStdString()));
}

// Removing the destination when it is the source itself (the same path written differently, or
// the file a source link points at) would lose the file the caller wanted to keep a copy of. A
// link at the destination is only a name, even one pointing at the source: it may go.
bool isSameFile(const QString& source, const QString& destination) {
    const QFileInfo target(destination);
    return !target.isSymbolicLink() && QFileInfo(source) == target;
}

// A link whose target is missing does not "exist" to QFileInfo, yet its name is taken: Qt's
// rename then falls back to copying, and that copy opens the name for writing, following the
// link and creating the file wherever it points. The link itself counts as the destination.
bool nameIsTaken(const QFileInfo& info) { return info.exists() || info.isSymbolicLink(); }

// A dangling link names no folder, so it is treated as a file that may be replaced.
bool namesAFile(const QFileInfo& info) {
    return info.isFile() || (info.isSymbolicLink() && !info.exists());
}

}  // namespace

bool copyFile(const QString& source, const QString& destination, bool overwrite) {
    logging::info(kTag, "copy file from {} to {}. overwrite: {}", source, destination, overwrite);
    const QString from = hostPath(source);
    const QString to = hostPath(destination);
    if (!QFile::exists(from)) {
        logging::info(kTag, "copy file failed. file {} does NOT exists!", source);
        return false;
    }
    if (overwrite && nameIsTaken(QFileInfo(to))) {
        logging::info(kTag, "destination file {} exists. try to remove it first", destination);
        if (isSameFile(from, to)) {
            logging::info(kTag, "destination file {} is the source file. not removed", destination);
        } else if (!QFile::remove(to)) {
            logging::info(kTag, "cannot remove destination file {}", destination);
        }
    }
    const bool copied = QFile::copy(from, to);
    logging::info(kTag, "copy file result: {}", copied);
    return copied;
}

bool moveFile(const QString& source, const QString& destination, bool overwrite) {
    logging::info(kTag, "move file from {} to {}. overwrite: {}", source, destination, overwrite);
    const QString from = hostPath(source);
    const QString to = hostPath(destination);
    if (!QFile::exists(from)) {
        logging::info(kTag, "move file failed. file {} does NOT exists!", source);
        return false;
    }
    const QFileInfo target(to);
    if (namesAFile(target)) {
        if (!overwrite) {
            logging::info(kTag, "destination file {} exists and overwrite is false", destination);
            return false;
        }
        logging::info(kTag, "destination file {} exists. try to remove it first", destination);
        if (isSameFile(from, to)) {
            logging::info(kTag, "destination file {} is the source file. not removed", destination);
            return false;
        }
        if (!QFile::remove(to)) {
            logging::info(kTag, "cannot remove destination file {}", destination);
            return false;
        }
    } else if (!nameIsTaken(target)) {
        const QString folder = target.absolutePath();
        if (!QDir().mkpath(folder)) {
            logging::info(kTag, "cannot create destination directory {}", folder);
            return false;
        }
    }
    const bool moved = QFile::rename(from, to);
    logging::info(kTag, "move file result: {}", moved);
    return moved;
}

bool mkdir(const QString& path) {
    const QString folder = hostPath(path);
    if (QDir(folder).exists()) return true;
    return QDir().mkpath(folder);
}

}  // namespace pellanor::util
