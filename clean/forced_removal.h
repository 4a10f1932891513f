// Removal that ordinary deletion may not reach: one file, a folder with escalation through
// the command-line tools, the previous Windows installation, and the program's own folder
// after it exits.
#pragma once

#include <QString>

namespace pellanor {

// The `removeFile` script method: removes one file (not a folder) and logs the result.
// Blocks on the file system.
bool removeFile(const QString& path);

// The `removeDir` script method: true when the folder is gone. An empty path, one that is not
// absolute ("C:", "C:x", "\x", ".", "x": they depend on the current folder), a whole drive and
// a protected folder or one that holds one (protectedFolderRefusal) are refused (false, logged).
// "c:\windows.old" in any spelling takes the previous-Windows sequence (cleanup handler,
// native forced delete, command-line tools, delete at restart); any other folder is removed
// recursively and, if that fails, through the command-line tools. Blocks, for minutes on a
// large previous installation.
bool removeDir(const QString& path);

// The `scheduleSelfDelete` script method: writes the self-delete script to the temporary
// folder and starts it hidden, to remove `folder` once this process has ended. True when the
// script was started; false for an empty or quote-breaking folder, one protectedFolderRefusal
// refuses, or a script file that cannot be written. With `removalList` (a file in the form
// platform::selfDeleteScriptText reads) the script removes only what the list names, and the
// list, instead of the folder.
bool scheduleSelfDelete(const QString& folder, const QString& removalList = {});

// Whether `path`, made absolute and lower-cased, is "c:/windows.old". Does not block.
bool isPreviousWindowsFolder(const QString& path);

// Runs takeown, icacls and rd through "cmd.exe /c" on the resolved absolute form of `path`,
// waiting for each; true when rd exits with 0. An empty path, one protectedFolderRefusal
// refuses, and one holding '%', '"' or a control character (cmd would read them inside the
// quotes) give false (logged); a folder that does not exist gives true. Blocks.
bool shellForceDelete(const QString& path);

}  // namespace pellanor
