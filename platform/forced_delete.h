// Deletion that ordinary removal may not reach: attributes reset first, handles opened with
// backup semantics, links deleted rather than followed; and deletion at the next restart.
#pragma once

#include <string>

namespace pellanor::platform {

// The "\\?\" long-path form: empty text or text already in that form stays; a network path
// "\\server\share" becomes "\\?\UNC\server\share"; anything else gets "\\?\" in front.
// Pure text; the same on both backends.
inline std::string toLongPath(const std::string& path) {
    if (path.empty() || path.rfind("\\\\?\\", 0) == 0) return path;
    if (path.rfind("\\\\", 0) == 0) return "\\\\?\\UNC\\" + path.substr(2);
    return "\\\\?\\" + path;
}

// Deletes one entry (file, empty folder or link) through a handle after resetting its
// attributes to normal. A link or junction is deleted itself; its target is not touched. True
// when the entry is gone or never existed. Blocks on the file system.
bool deleteEntry(const std::string& path);

// Deletes `path` and, for a folder, everything below it, depth first, by the rules of
// removeTree (platform/tree_removal.h); an entry the ordinary delete refuses goes through
// deleteEntry. Folder links and junctions are deleted as links and never entered. On POSIX
// `path` is first mapped with localPath. True when `path` itself was deleted or did not exist;
// failures below it are skipped. Blocks on the file system.
bool forceDeleteTree(const std::string& path);

// Asks the system to delete `path` at the next restart. False when the request is refused;
// POSIX has no such facility and always refuses.
bool deleteAtReboot(const std::string& path);

}  // namespace pellanor::platform
