// The recycle bin of all drives. The POSIX stand-in is the user's freedesktop trash:
// $XDG_DATA_HOME/Trash, else $HOME/.local/share/Trash.
#pragma once

#include <cstdint>

namespace pellanor::platform {

// Total size in bytes of what the recycle bin holds; 0 when the query fails. POSIX counts the
// files under Trash/files without following symbolic links. Blocks on the file system.
std::int64_t recycleBinSize();

// Empties the recycle bin without confirmation, progress window or sound. Returns false when
// the system reports failure (POSIX: when some entry of Trash/files or Trash/info stays).
// Symbolic links in the trash are removed, never followed. Blocks on the file system.
bool emptyRecycleBin();

}  // namespace pellanor::platform
