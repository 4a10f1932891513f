// Checks made before a folder given as text is emptied or removed: that the text names one
// folder wherever the process stands, that it is not a whole drive, that the command
// interpreter reads it as written, and that the folder holds nothing the system or the user's
// profile cannot lose. Every deleting method asks protectedFolderRefusal.
#pragma once

#include <QString>

namespace pellanor {

// The host folder that `path` names, resolved as the system resolves it (see
// platform::absoluteLocalPath: "." and ".." gone, never above the drive's root); empty when
// `path` is relative or drive-relative ("C:", "C:x", "\x", "x", ".", ".."). Does not block.
QString absoluteHostFolder(const QString& path);

// Whether `path` names a whole drive, a share's root or the file system's root; false for a
// relative path, which absoluteHostFolder refuses on its own. Does not block.
bool isDriveRoot(const QString& path);

// Whether `folder` is `inner` or one of the folders above it, ignoring case (a refusal too many
// on a case-sensitive system is the safe side). Both host paths; does not block.
bool isSameOrAbove(QString folder, QString inner);

// Whether `text` holds what the command interpreter still acts on inside double quotes: '%'
// (variable expansion), '"' (ends the quoting) or a control character (a line break ends the
// command). Does not block.
bool breaksCommandQuoting(const QString& text);

// Why no deletion may empty or remove `folder` (Windows-shaped, already expanded): "not an
// absolute path", "a drive root", or "holds <folder>" when it is, or contains, a protected folder:
// the user's profile and known folders (Desktop, Documents, Downloads, Music, Pictures, Videos,
// AppData), the Users, Windows and system folders, a Program Files folder or ProgramData. A
// folder inside one of them (the temporary folder, a browser's cache) is not refused. Judged on
// every form the path may take: "." and ".." resolved, the trailing dots and blanks Windows
// drops from each name dropped, and links resolved. Empty when the deletion may go ahead. Blocks
// briefly: links and the user's folders are read from disk.
QString protectedFolderRefusal(const QString& folder);

}  // namespace pellanor
