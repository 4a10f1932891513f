// The shell routines behind desktop shortcuts and the desktop folder, named as the system's log
// knows them; they log under "SysUtil". Each blocks (COM, disk) and never throws.
#pragma once

#include <QString>

namespace pellanor::util {

// Saves "<desktop>\<appName>.lnk" through CreateLinkFile. False when the desktop folder is
// unknown, `appName` is not a plain file name, or the save fails.
bool CreateDesktopShortcut(const QString& appName, const QString& exePath, const QString& cmdLine,
                           const QString& appIcon);

// Writes a shortcut to `szDestLnkPath` that starts `szStartAppPath` with `szAddCmdLine` in the
// start path's folder, with the icon `szIconPath` (index 0) or, when empty, the start path's.
bool CreateLinkFile(const QString& szStartAppPath, const QString& szAddCmdLine,
                    const QString& szDestLnkPath, const QString& szIconPath);

// The desktop folder from its item id list (through the ANSI code page on Windows); "" on failure.
QString GetDesktopPath();

// The folder part of a path: everything before its last separator (either kind); "" if none.
QString folderOf(const QString& path);

}  // namespace pellanor::util
