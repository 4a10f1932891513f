// The desktop shell for the page scripts: the file manager, URLs, desktop shortcuts, starting
// programs and well-known folders (the clipboard and the folder dialog, which need the toolkit's
// GUI, are the shell's: ui/desktop_dialogs.h). Everything runs on the calling (UI) thread and
// never throws; failures answer false or an empty string and are logged under "NativeUtil".
// Without a desktop session the methods that need one give their failure values.
#pragma once

#include <QString>
#include <QStringList>

namespace pellanor::util {

// Opens `path` in the file manager, or its parent folder when `path` is not a folder. True when
// the file manager started. Blocks while it starts.
bool openFolder(const QString& path);

// Opens a URL or document with the shell's default handler. "" answers false and logs nothing.
bool openUrl(const QString& url);

// Saves "<desktop>\<appName>.lnk" (a launcher on POSIX) starting `exePath` with `cmdLine`, in
// the executable's folder, with the icon `appIcon` (the executable's when empty). The four texts
// pass through the ANSI code page first. Replaces a shortcut of that name. Blocks (COM, disk).
bool createDesktopShortcut(const QString& appName, const QString& exePath, const QString& cmdLine,
                           const QString& appIcon);

// The pieces of `command` split at commas, empty pieces dropped, nothing trimmed.
QStringList launchArguments(const QString& command);

// `exePath` then each piece after one blank, each wrapped in double quotes when it holds a
// blank; quotes inside are not escaped.
QString launchCommandLine(const QString& exePath, const QStringList& arguments);

// Starts `exePath` with the arguments of `command` in `workDir` (the current folder when empty)
// and does not wait for it. True when the process was created.
bool launch(const QString& exePath, const QString& workDir, const QString& command);

// The user's desktop folder by the item-list route (see GetDesktopPath); "" when unknown.
QString getDesktopPath();

// The writable generic data location (the local application-data folder), forward slashes.
QString appDataPath();

// What %PROGRAMFILES% is for this process; "" when unset.
QString programsPath();

// The writable temporary location, forward slashes.
QString getTempPath();

// The folder of the running executable; the whole path if it has no folder part.
QString processFolder();

}  // namespace pellanor::util
