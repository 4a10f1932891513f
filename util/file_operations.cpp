// Copies, moves and folder listings for the page scripts, through Qt's file classes on host
// paths. Links are taken for what they are: a name, never followed to overwrite what they point at.
#include "util/file_operations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

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

// Qt 5's isSymLink() also answers true for Windows shortcut files, which are plain files.
bool isLink(const QFileInfo& info) { return info.isSymbolicLink() || info.isJunction(); }

QJsonArray sortedNames(QStringList names) {
    std::sort(names.begin(), names.end());
    return QJsonArray::fromStringList(names);
}

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

QString listFolder(const QString& path) {
    const QString folder = hostPath(path);
    const QFileInfo self(folder);
    if (path.isEmpty() || isLink(self) || !self.isDir()) {
        logging::info(kTag, "list folder {} failed: not a folder", path);
        const QJsonObject error{{QStringLiteral("error"), QStringLiteral("not a folder")}};
        return QString::fromUtf8(QJsonDocument(error).toJson(QJsonDocument::Indented));
    }
    QStringList files;
    QStringList folders;
    QStringList links;
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        if (isLink(entry)) {
            links << entry.fileName();
        } else if (entry.isDir()) {
            folders << entry.fileName();
        } else {
            files << entry.fileName();
        }
    }
    logging::info(kTag, "list folder {}: {} files, {} folders, {} links", path, files.size(),
                  folders.size(), links.size());
    const QJsonObject listing{{QStringLiteral("files"), sortedNames(files)},
                              {QStringLiteral("folders"), sortedNames(folders)},
                              {QStringLiteral("links"), sortedNames(links)}};
    return QString::fromUtf8(QJsonDocument(listing).toJson(QJsonDocument::Indented));
}

}  // namespace pellanor::util
