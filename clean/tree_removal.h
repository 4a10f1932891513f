// Recursive folder removal that removes links and junctions as themselves and never enters
// them, shared by junk cleaning and forced removal.
#pragma once

#include <QString>

namespace pellanor {

// Removes the folder `path` (a host path) with everything inside it, hidden and system entries
// included. A symbolic link or junction, given as `path` or met inside it, is removed itself;
// what it points at is never touched. Read-only files are made writable first. Goes on past
// entries it cannot remove. True when everything went; a missing path, or one that names a
// plain file (which is left alone), also gives true. Blocks on the file system.
bool removeFolderTree(const QString& path);

}  // namespace pellanor
