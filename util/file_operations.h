// Copying and moving single files and creating folders for the page scripts. Paths are taken as
// the script passes them (either separator). Every function blocks on the disk, runs on the
// calling (UI) thread and never throws; failures answer false and are logged under "NativeUtil".
// A link at the destination is itself the destination file, even when its target is missing:
// it may be replaced, never written through.
#pragma once

#include <QString>

namespace pellanor::util {

// Copies `source` to `destination`. With `overwrite`, an existing destination file is removed
// first (a failed removal is only logged). The copy itself never replaces a file and never
// creates folders: it fails on a destination that still exists or whose folder is missing.
bool copyFile(const QString& source, const QString& destination, bool overwrite);

// Moves (renames, or copies and removes across volumes) `source` to `destination`, creating the
// destination's folder with its missing parents. An existing destination file is replaced only
// with `overwrite`; an existing folder of that name makes the move fail.
bool moveFile(const QString& source, const QString& destination, bool overwrite);

// Creates the folder and its missing parents; true when it exists afterwards. Logs nothing.
bool mkdir(const QString& path);

// One level of the folder `path`, as indented JSON text with sorted keys: {"files": [...],
// "folders": [...], "links": [...]}, each a list of entry names sorted by their UTF-16 code
// units. Hidden and system entries are listed. A symbolic link or junction is listed under
// "links" only, whatever it points at, so that a caller copying a tree never follows one.
// {"error": "not a folder"} when `path` is empty or names no folder (a link to a folder
// included). Logs the count or the refusal.
QString listFolder(const QString& path);

}  // namespace pellanor::util
