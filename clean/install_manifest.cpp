// The install manifest and the removal by it. An uninstall that removed the folder holding the
// marker removed whatever else was there: a marker planted in Documents took the user's files
// with it. Now only what the installer recorded goes, and every entry is checked on disk again
// before it is listed, since the manifest is a plain file anyone with access may edit.
#include "clean/install_manifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryFile>
#include <algorithm>
#include <optional>

#include "clean/folder_guard.h"
#include "clean/forced_removal.h"
#include "clean/install_folder.h"
#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/tree_removal.h"

namespace pellanor {
namespace {

constexpr char kTag[] = "Installer";
constexpr char kManifestHeader[] =
    "# Pellanor install manifest 1: what the installer wrote here, one path a line, relative to "
    "this folder; a folder ends in /\n";
// A manifest this large was not written by the installer; reading it whole would be the harm.
constexpr qint64 kManifestLimit = 8 * 1024 * 1024;

bool isOurFile(const QString& entry) {
    return entry.compare(QLatin1String(kInstallMarkerName), Qt::CaseInsensitive) == 0 ||
           entry.compare(QLatin1String(kInstallManifestName), Qt::CaseInsensitive) == 0;
}

// Why `entry` may not stand in a manifest, empty when it may.
QString entryRefusal(const QString& entry) {
    if (entry.isEmpty() || entry.startsWith(QLatin1Char('/'))) return QStringLiteral("absolute");
    if (entry.contains(QLatin1Char('\\')) || entry.contains(QLatin1Char(':'))) {
        return QStringLiteral("a backslash or colon");
    }
    if (breaksCommandQuoting(entry)) {
        return QStringLiteral("a quote, percent sign or control character");
    }
    QString names = entry;
    if (names.endsWith(QLatin1Char('/'))) names.chop(1);
    for (const QString& name : names.split(QLatin1Char('/'))) {
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
            return QStringLiteral("an empty, . or .. name");
        }
    }
    return {};
}

QString manifestPath(const QString& hostFolder) {
    return hostFolder + QLatin1Char('/') + QLatin1String(kInstallManifestName);
}

// The entries of the manifest in `hostFolder`, in file order; nullopt when there is no plain
// manifest file to read.
std::optional<QStringList> readEntries(const QString& hostFolder) {
    const QString path = manifestPath(hostFolder);
    if (platform::leadsElsewhere(path.toStdString())) return std::nullopt;
    QFile file(path);
    if (!QFileInfo(path).isFile() || file.size() > kManifestLimit ||
        !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QStringList entries;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QString entry = QString::fromUtf8(line.endsWith('\r') ? line.chopped(1) : line);
        if (!entry.isEmpty() && !entry.startsWith(QLatin1Char('#'))) entries << entry;
    }
    return entries;
}

// The install folder as a host path with '/' separators; empty when it is not absolute.
QString hostFolderOf(const QString& folder) {
    QString host = QDir::fromNativeSeparators(absoluteHostFolder(folder));
    while (host.size() > 1 && host.endsWith(QLatin1Char('/'))) host.chop(1);
    return host;
}

std::optional<QStringList> parseEntries(const QString& json) {
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    if (!document.isArray()) return std::nullopt;
    QStringList entries;
    for (const QJsonValue& value : document.array()) {
        if (!value.isString()) return std::nullopt;
        entries << value.toString();
    }
    return entries;
}

bool writeManifest(const QString& hostFolder, const QStringList& entries) {
    QSaveFile file(manifestPath(hostFolder));
    if (!file.open(QIODevice::WriteOnly)) return false;
    QByteArray text(kManifestHeader);
    for (const QString& entry : entries) text += entry.toUtf8() + '\n';
    return file.write(text) == text.size() && file.commit();
}

// Why the entry at `path` (`relative` inside `hostFolder`) may not be removed, empty when it
// may or when it is already gone (`gone` set).
QString onDiskRefusal(const QString& hostFolder, const QString& relative, bool* gone) {
    QString walked = hostFolder;
    QString names = relative;
    const bool folderEntry = names.endsWith(QLatin1Char('/'));
    if (folderEntry) names.chop(1);
    for (const QString& name : names.split(QLatin1Char('/'))) {
        walked += QLatin1Char('/') + name;
        if (platform::leadsElsewhere(walked.toStdString())) return QStringLiteral("a link");
    }
    const QFileInfo info(walked);
    *gone = !info.exists();
    if (*gone) return {};
    const QString canonical = info.canonicalFilePath();
    const QString canonicalFolder = QFileInfo(hostFolder).canonicalFilePath();
    if (canonicalFolder.isEmpty() || !canonical.startsWith(canonicalFolder + QLatin1Char('/'))) {
        return QStringLiteral("outside the folder");
    }
    if (info.isDir() != folderEntry) {
        return folderEntry ? QStringLiteral("not a folder") : QStringLiteral("a folder");
    }
    return {};
}

int depthOf(const QString& relative) { return relative.count(QLatin1Char('/')); }

QString line(char kind, const QString& hostPath) {
    return QString(QLatin1Char(kind)) + QLatin1Char(' ') + QDir::toNativeSeparators(hostPath);
}

// The listed files, then the listed folders deepest first, each checked on disk.
QStringList listedRemovals(const QString& hostFolder, const QStringList& entries) {
    QStringList files;
    QStringList folders;
    QSet<QString> seen;
    for (const QString& entry : entries) {
        if (isOurFile(entry) || seen.contains(entry)) continue;
        seen.insert(entry);
        QString refusal = entryRefusal(entry);
        bool gone = false;
        if (refusal.isEmpty()) refusal = onDiskRefusal(hostFolder, entry, &gone);
        if (!refusal.isEmpty()) {
            logging::info(kTag, "uninstall refused entry {} of {}: {}", entry, hostFolder, refusal);
            continue;
        }
        if (gone) continue;
        (entry.endsWith(QLatin1Char('/')) ? folders : files) << entry;
    }
    std::stable_sort(folders.begin(), folders.end(),
                     [](const QString& a, const QString& b) { return depthOf(a) > depthOf(b); });
    QStringList removals;
    for (const QString& file : files) removals << line('F', hostFolder + QLatin1Char('/') + file);
    for (QString folder : folders) {
        folder.chop(1);
        removals << line('D', hostFolder + QLatin1Char('/') + folder);
    }
    return removals;
}

// A list file only this user can read, under a name nobody can have prepared beforehand.
QString writeRemovalList(const QStringList& removals) {
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/pellanor_uninstall_XXXXXX.list"));
    file.setAutoRemove(false);
    if (!file.open()) return {};
    const QByteArray text = removals.join(QLatin1Char('\n')).toUtf8() + '\n';
    const bool written = file.write(text) == text.size() && file.flush();
    file.close();
    if (!written) {
        file.remove();
        return {};
    }
    return file.fileName();
}

}  // namespace

bool recordInstalled(const QString& folder, const QString& entries) {
    const QString host = hostFolderOf(folder);
    if (host.isEmpty() || platform::leadsElsewhere(host.toStdString()) ||
        !QFileInfo(host).isDir()) {
        logging::info(kTag, "record installed refused for {}: not an absolute folder", folder);
        return false;
    }
    const std::optional<QStringList> added = parseEntries(entries);
    if (!added) {
        logging::info(kTag, "record installed refused for {}: not a list of paths", folder);
        return false;
    }
    for (const QString& entry : *added) {
        const QString refusal =
            isOurFile(entry) ? QStringLiteral("the marker or the manifest") : entryRefusal(entry);
        if (!refusal.isEmpty()) {
            logging::info(kTag, "record installed refused entry {} in {}: {}", entry, folder,
                          refusal);
            return false;
        }
    }
    QStringList listed = readEntries(host).value_or(QStringList());
    QSet<QString> known(listed.begin(), listed.end());
    for (const QString& entry : *added) {
        if (known.contains(entry)) continue;
        known.insert(entry);
        listed << entry;
    }
    if (!writeManifest(host, listed)) {
        logging::info(kTag, "record installed could not write the manifest in {}", folder);
        return false;
    }
    return true;
}

QStringList installRemovalList(const QString& folder) {
    const QString host = hostFolderOf(folder);
    if (host.isEmpty() || platform::leadsElsewhere(host.toStdString())) {
        logging::info(kTag, "uninstall refused for {}: not an absolute folder", folder);
        return {};
    }
    const QString marker = host + QLatin1Char('/') + QLatin1String(kInstallMarkerName);
    const std::optional<QStringList> entries = readEntries(host);
    if (!entries || platform::leadsElsewhere(marker.toStdString()) || !QFileInfo(marker).isFile()) {
        logging::info(kTag, "uninstall refused for {}: no marker or no manifest", folder);
        return {};
    }
    // The marker and the manifest go last: an uninstall cut short can be run again.
    return listedRemovals(host, *entries)
           << line('F', manifestPath(host)) << line('F', marker) << line('D', host);
}

bool scheduleInstallRemoval(const QString& folder) {
    // The uninstaller runs from the folder it removes, so "own" is what it expects to hear.
    const QString refusal = installFolderRefusal(folder);
    if (!refusal.isEmpty() && refusal != QLatin1String("own")) {
        logging::info(kTag, "uninstall refused for {}: {}", folder, refusal);
        return false;
    }
    const QStringList removals = installRemovalList(folder);
    if (removals.isEmpty()) return false;
    const QString list = writeRemovalList(removals);
    if (list.isEmpty()) {
        logging::info(kTag, "uninstall could not write its removal list for {}", folder);
        return false;
    }
    if (!scheduleSelfDelete(folder, QDir::toNativeSeparators(list))) {
        QFile::remove(list);
        return false;
    }
    logging::info(kTag, "uninstall of {} scheduled: {} entries", folder, removals.size());
    return true;
}

}  // namespace pellanor
