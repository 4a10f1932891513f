// The manifest of an install: what the installer wrote into the install folder, recorded before
// it is written, and the removal that undoes exactly that and nothing else.
//
// The manifest is kInstallManifestName (install_folder.h) in the install folder: UTF-8 text,
// one entry a line, each relative to the install folder with '/' between names; an entry that
// ends in '/' is a folder, any other a file. Lines that are empty or start with '#' are not
// entries (the first line says what the file is). The marker and the manifest are never
// entries. An entry may not be absolute or hold "." or ".." as a name, a '\', a ':', a '"', a
// '%' or a control character: it would leave the folder, or change meaning on its way through
// the command interpreter.
#pragma once

#include <QString>
#include <QStringList>

namespace pellanor {

// The `recordInstalled` script method: adds `entries`, a JSON array of entry texts, to the
// manifest of `folder` (an existing absolute folder, not a link), creating the manifest if
// needed. Entries already listed are not repeated. The file is replaced as a whole, so a write
// cut short leaves the earlier list. False (logged) when the folder does not qualify, `entries`
// is no such array, any entry breaks the rules above (nothing is recorded then), or the file
// cannot be written. Blocks on the file system.
bool recordInstalled(const QString& folder, const QString& entries);

// What uninstalling the install in `folder` removes, in the order it goes, each line
// "F <path>" for a file or "D <path>" for a folder removed only if empty, paths absolute in the
// host's form: the listed files, the listed folders (deepest first), the manifest, the marker,
// then `folder`. An entry that does not exist is left out. An entry is refused (logged, left
// out) when it breaks the rules above, when its path inside the folder passes through a link
// or junction or is one, when it leads outside the folder once links are resolved, or when a
// file entry names a folder or the other way round. Empty (logged) when `folder` is not
// absolute, is a link, or lacks the marker or the manifest. Blocks on the file system.
QStringList installRemovalList(const QString& folder);

// The `scheduleInstallRemoval` script method: removes installRemovalList(folder) once this
// process has ended (the program cannot remove its own running files), through the
// self-delete script and a private list file in the temporary folder. Every other entry, and
// the folders that hold one, stay. False (logged) for a folder installFolderRefusal refuses by
// where it is (a user's or the system's folder, a drive), an empty removal list, or a list or
// script that cannot be written or started. Blocks briefly.
bool scheduleInstallRemoval(const QString& folder);

}  // namespace pellanor
