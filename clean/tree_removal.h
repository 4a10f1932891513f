// Recursive folder removal and folder emptying that remove links and junctions as themselves and
// never enter them, shared by junk cleaning and forced removal. The rules live in
// platform/tree_removal.h; these are their Qt faces, which log what could not be removed.
#pragma once

#include <QString>

#include "clean/folder_size.h"

namespace pellanor {

// Removes the folder `path` (a host path) with everything inside it, hidden and system entries
// included. A symbolic link or junction, given as `path` or met inside it, is removed itself;
// what it points at is never touched. Read-only entries are made removable first. Goes on past
// entries it cannot remove and logs them. True when everything went; a missing path, or one
// that names a plain file (which is left alone), also gives true. `stop`, if given, is asked
// before each entry; once it answers true the rest stays and the result is false. Blocks on the
// file system.
bool removeFolderTree(const QString& path, const CancelPredicate& stop = {});

// Empties the folder `path` (a host path) and keeps it. Hidden entries directly in it stay; a
// sub-folder goes with everything inside it, hidden entries included. Links are removed, never
// followed, and a `path` that is itself a link is not entered. Entries that cannot be removed
// stay and are logged (on POSIX also what a shared temporary folder keeps: see the platform
// header). True when nothing but the hidden entries stayed; a missing folder also gives true.
// `stop` as for removeFolderTree. Blocks on the file system.
bool emptyFolder(const QString& path, const CancelPredicate& stop = {});

}  // namespace pellanor
