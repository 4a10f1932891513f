// Emptying %TEMP% runs unattended at logon, where a mistyped variable or a process started in
// the system folder turns "the temporary folder" into the whole drive; a page may hand removeDir
// "C:\Users\Anna\." or "C:\Windows." and mean the profile or the system. These checks are the
// last word before anything is deleted through text that came from the environment or a page.
#include "clean/folder_guard.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "clean/environment_path.h"
#include "platform/known_folders.h"
#include "platform/paths.h"

namespace pellanor {
namespace {

// Folders no deletion may empty or remove, nor any folder that holds one of them. Both the
// variables and the usual literal places are listed: either may be unset or point elsewhere.
// The shell's own answers (platform::protectedKnownFolders) are added to these.
const char* const kProtectedFolders[] = {
    "%USERPROFILE%",
    "%LOCALAPPDATA%",
    "%APPDATA%",
    "%SystemRoot%",
    "%windir%",
    "%SystemRoot%\\System32",
    "%ProgramFiles%",
    "%ProgramFiles(x86)%",
    "%ProgramW6432%",
    "%ProgramData%",
    "%USERPROFILE%\\..",
    "C:\\Windows",
    "C:\\Windows\\System32",
    "C:\\Program Files",
    "C:\\Program Files (x86)",
    "C:\\ProgramData",
    "C:\\Users",
};

bool isSeparator(QChar c) { return c == QLatin1Char('\\') || c == QLatin1Char('/'); }

// Windows drops the trailing dots and blanks of every name ("C:\Windows. \" is C:\Windows);
// the stand-in's file system keeps them, so the rule judges both readings.
QString withoutTrailingDotsAndBlanks(const QString& path) {
    QString result;
    QString name;
    const auto flush = [&]() {
        if (name != QLatin1String(".") && name != QLatin1String("..")) {
            while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' '))) name.chop(1);
        }
        result += name;
        name.clear();
    };
    for (const QChar c : path) {
        if (isSeparator(c)) {
            flush();
            result += c;
        } else {
            name += c;
        }
    }
    flush();
    return result;
}

// The written form and, for a folder that exists, the form with every link resolved: a TEMP
// that is a link to the profile must be caught as well.
QStringList formsOf(const QString& hostFolder) {
    QStringList forms{hostFolder};
    const QString canonical = QFileInfo(hostFolder).canonicalFilePath();
    if (!canonical.isEmpty() && canonical != hostFolder) forms << canonical;
    return forms;
}

// Every host folder `path` may turn out to be; empty when it is not absolute.
QStringList candidateForms(const QString& path) {
    QStringList forms;
    for (const QString& text : {path, withoutTrailingDotsAndBlanks(path)}) {
        const QString local = absoluteHostFolder(text);
        if (local.isEmpty()) continue;
        for (const QString& form : formsOf(local)) {
            if (!forms.contains(form)) forms << form;
        }
    }
    return forms;
}

// A link to a drive is refused as the drive: `hostFolder` comes with its links resolved. The
// roots are compared as text, so that no drive (an empty card reader, a sleeping network drive)
// is touched.
bool isAnyDriveRoot(const QString& hostFolder) {
    if (QDir(hostFolder).isRoot()) return true;
    const QString folder = QDir::fromNativeSeparators(hostFolder);
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const QString root =
            absoluteHostFolder(QString(QLatin1Char(letter)) + QLatin1String(":\\"));
        if (QDir::fromNativeSeparators(root).compare(folder, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

QStringList protectedLocations() {
    QStringList locations;
    for (const char* location : kProtectedFolders) {
        locations << expandEnvironmentPath(QString::fromUtf8(location));
    }
    for (const std::string& folder : platform::protectedKnownFolders()) {
        locations << QString::fromStdString(folder);
    }
    return locations;
}

// The protected folder that one of `forms` is or holds, empty when none.
QString heldProtectedFolder(const QStringList& forms) {
    for (const QString& location : protectedLocations()) {
        const QString protectedFolder = absoluteHostFolder(location);
        if (protectedFolder.isEmpty()) continue;
        for (const QString& inner : formsOf(protectedFolder)) {
            for (const QString& form : forms) {
                if (isSameOrAbove(form, inner)) return location;
            }
        }
    }
    return {};
}

}  // namespace

// Case-insensitive everywhere: Windows ignores case, and on the stand-in a refusal too many
// is the safe side.
bool isSameOrAbove(QString folder, QString inner) {
    folder = QDir::fromNativeSeparators(folder);
    inner = QDir::fromNativeSeparators(inner);
    if (folder.compare(inner, Qt::CaseInsensitive) == 0) return true;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return inner.startsWith(folder, Qt::CaseInsensitive);
}

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

QString protectedFolderRefusal(const QString& folder) {
    const QStringList forms = candidateForms(folder);
    if (forms.isEmpty()) return QStringLiteral("not an absolute path");
    if (isDriveRoot(folder) || isDriveRoot(withoutTrailingDotsAndBlanks(folder))) {
        return QStringLiteral("a drive root");
    }
    for (const QString& form : forms) {
        if (isAnyDriveRoot(form)) return QStringLiteral("a drive root");
    }
    const QString held = heldProtectedFolder(forms);
    if (!held.isEmpty()) return QStringLiteral("holds ") + held;
    return {};
}

}  // namespace pellanor
