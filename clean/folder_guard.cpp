// Emptying %TEMP% runs unattended at logon, where a mistyped variable or a process started in
// the system folder turns "the temporary folder" into the whole drive. These checks are the
// last word before anything is deleted through text that came from the environment or a page.
#include "clean/folder_guard.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "clean/environment_path.h"
#include "platform/paths.h"

namespace pellanor {
namespace {

// Folders no junk rule may empty or remove, nor any folder that holds one of them. Both the
// variables and the usual literal places are listed: either may be unset or point elsewhere.
const char* const kProtectedFolders[] = {
    "%USERPROFILE%",     "%LOCALAPPDATA%",          "%APPDATA%",      "%SystemRoot%",
    "%windir%",          "%SystemRoot%\\System32",  "%ProgramFiles%", "%ProgramFiles(x86)%",
    "%ProgramW6432%",    "%ProgramData%",           "C:\\Windows",    "C:\\Windows\\System32",
    "C:\\Program Files", "C:\\Program Files (x86)", "C:\\Users",
};

// The written form and, for a folder that exists, the form with every link resolved: a TEMP
// that is a link to the profile must be caught as well.
QStringList formsOf(const QString& hostFolder) {
    QStringList forms{hostFolder};
    const QString canonical = QFileInfo(hostFolder).canonicalFilePath();
    if (!canonical.isEmpty() && canonical != hostFolder) forms << canonical;
    return forms;
}

// Case-insensitive everywhere: Windows ignores case, and on the stand-in a refusal too many
// is the safe side.
bool isSameOrAbove(QString folder, QString inner) {
    folder = QDir::fromNativeSeparators(folder);
    inner = QDir::fromNativeSeparators(inner);
    if (folder.compare(inner, Qt::CaseInsensitive) == 0) return true;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return inner.startsWith(folder, Qt::CaseInsensitive);
}

// The protected folder that `hostFolder` is or holds, empty when none.
QString heldProtectedFolder(const QString& hostFolder) {
    const QStringList folderForms = formsOf(hostFolder);
    for (const char* location : kProtectedFolders) {
        const QString expanded = expandEnvironmentPath(QString::fromUtf8(location));
        const QString protectedFolder = absoluteHostFolder(expanded);
        if (protectedFolder.isEmpty()) continue;
        for (const QString& inner : formsOf(protectedFolder)) {
            for (const QString& form : folderForms) {
                if (isSameOrAbove(form, inner)) return expanded;
            }
        }
    }
    return {};
}

}  // namespace

QString absoluteHostFolder(const QString& path) {
    return QString::fromStdString(platform::absoluteLocalPath(path.toStdString()));
}

bool isDriveRoot(const QString& path) {
    const QString local = absoluteHostFolder(path);
    if (local.isEmpty()) return false;
    if (QDir(local).isRoot()) return true;
    const bool hasDrive =
        path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter();
    return hasDrive && local == absoluteHostFolder(path.left(2) + QLatin1Char('\\'));
}

bool breaksCommandQuoting(const QString& text) {
    for (const QChar c : text) {
        if (c == QLatin1Char('%') || c == QLatin1Char('"') || c.unicode() < 0x20) return true;
    }
    return false;
}

QString junkFolderRefusal(const QString& folder) {
    const QString local = absoluteHostFolder(folder);
    if (local.isEmpty()) return QStringLiteral("not an absolute path");
    if (isDriveRoot(folder)) return QStringLiteral("a drive root");
    const QString held = heldProtectedFolder(local);
    if (!held.isEmpty()) return QStringLiteral("holds ") + held;
    return {};
}

}  // namespace pellanor
