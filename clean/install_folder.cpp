// The install-folder rule. An uninstall removes what the install wrote and the folder once it is
// empty, so a folder the user already fills (Documents, the desktop) or someone else's must
// never become an install folder: the marker would later license removals there.
#include "clean/install_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "clean/folder_guard.h"
#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/executable.h"
#include "platform/known_folders.h"
#include "platform/tree_removal.h"

namespace pellanor {
namespace {

constexpr char kTag[] = "Installer";

// The written form and, where the folder exists, the one with every link resolved: a folder
// reached through a link to the profile is the profile.
QStringList formsOf(const QString& hostFolder) {
    QStringList forms{QDir::fromNativeSeparators(hostFolder)};
    const QString canonical = QFileInfo(hostFolder).canonicalFilePath();
    if (!canonical.isEmpty() && !forms.contains(canonical)) forms << canonical;
    return forms;
}

bool anySameOrAbove(const QStringList& folderForms, const QString& innerHostFolder) {
    for (const QString& inner : formsOf(innerHostFolder)) {
        for (const QString& form : folderForms) {
            if (isSameOrAbove(form, inner)) return true;
        }
    }
    return false;
}

// "profile" or "known" when the folder is, or holds, one of the user's folders.
QString userFolderRefusal(const QStringList& folderForms) {
    const std::vector<std::string> userFolders = platform::userFolders();
    for (std::size_t i = 0; i < userFolders.size(); ++i) {
        const QString known = absoluteHostFolder(QString::fromStdString(userFolders[i]));
        if (!known.isEmpty() && anySameOrAbove(folderForms, known)) {
            return i == 0 ? QStringLiteral("profile") : QStringLiteral("known");
        }
    }
    return {};
}

QString contentRefusal(const QString& hostFolder) {
    const QFileInfo info(hostFolder);
    if (!info.exists()) return {};
    if (!info.isDir()) return QStringLiteral("notFolder");
    return holdsOurInstall(hostFolder) || QDir(hostFolder).isEmpty() ? QString()
                                                                     : QStringLiteral("foreign");
}

bool runsFrom(const QStringList& folderForms) {
    const QString program = QString::fromStdString(platform::executablePath());
    if (program.isEmpty()) return false;
    const QString own = QFileInfo(program).absolutePath();
    for (const QString& form : folderForms) {
        for (const QString& ownForm : formsOf(own)) {
            if (isSameOrAbove(form, ownForm) || isSameOrAbove(ownForm, form)) return true;
        }
    }
    return false;
}

QString refusalOf(const QString& folder) {
    if (folder.trimmed().isEmpty()) return QStringLiteral("empty");
    const QString host = breaksCommandQuoting(folder) ? QString() : absoluteHostFolder(folder);
    if (host.isEmpty()) return QStringLiteral("relative");
    if (isDriveRoot(folder)) return QStringLiteral("root");
    // A link is refused as such, whatever it leads to: the install would land there.
    if (platform::leadsElsewhere(host.toStdString())) return QStringLiteral("notFolder");
    const QStringList forms = formsOf(host);
    const QString userFolder = userFolderRefusal(forms);
    if (!userFolder.isEmpty()) return userFolder;
    if (!protectedFolderRefusal(folder).isEmpty()) return QStringLiteral("system");
    const QString content = contentRefusal(host);
    if (!content.isEmpty()) return content;
    return runsFrom(forms) ? QStringLiteral("own") : QString();
}

}  // namespace

bool holdsOurInstall(const QString& hostFolder) {
    const QDir dir(hostFolder);
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QString marker = QString::fromLatin1(kInstallMarkerName);
    const QString manifest = QString::fromLatin1(kInstallManifestName);
    const auto plainFile = [&dir](const QString& name) {
        const QString path = dir.filePath(name);
        return !platform::leadsElsewhere(path.toStdString()) && QFileInfo(path).isFile();
    };
    bool onlyOurs = !names.isEmpty();
    for (const QString& name : names) {
        if ((name != marker && name != manifest) || !plainFile(name)) onlyOurs = false;
    }
    return onlyOurs || (plainFile(marker) && plainFile(manifest));
}

QString installFolderRefusal(const QString& folder) {
    const QString refusal = refusalOf(folder);
    if (!refusal.isEmpty()) logging::info(kTag, "install folder {} refused: {}", folder, refusal);
    return refusal;
}

}  // namespace pellanor
