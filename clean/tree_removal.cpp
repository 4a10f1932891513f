// Our own recursion instead of QDir::removeRecursively: Qt 5 tells a junction apart from a
// symbolic link and enters it, which would empty the folder it points at.
#include "clean/tree_removal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pellanor {
namespace {

bool isLink(const QFileInfo& info) { return info.isSymLink() || info.isJunction(); }

// A link to a folder is a folder to Windows and goes with rmdir, which leaves the target alone.
bool removeLink(const QString& path) { return QFile::remove(path) || QDir().rmdir(path); }

bool removeFile(const QString& path) {
    if (QFile::remove(path)) return true;
    // Windows refuses to delete a read-only file.
    const QFile::Permissions permissions = QFile::permissions(path);
    return !(permissions & QFile::WriteUser) &&
           QFile::setPermissions(path, permissions | QFile::WriteUser) && QFile::remove(path);
}

bool removeEntry(const QFileInfo& entry) {
    if (isLink(entry)) return removeLink(entry.filePath());
    if (entry.isDir()) return removeFolderTree(entry.filePath());
    return removeFile(entry.filePath());
}

}  // namespace

bool removeFolderTree(const QString& path) {
    const QFileInfo info(path);
    if (isLink(info)) return removeLink(path);
    if (!info.isDir()) return true;
    bool ok = true;
    const QFileInfoList entries = QDir(path).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo& entry : entries) ok = removeEntry(entry) && ok;
    return QDir().rmdir(path) && ok;
}

}  // namespace pellanor
