// POSIX: the user's freedesktop trash stands in for the recycle bin.
#include "platform/recycle_bin.h"

#include <cstdlib>
#include <string>

#include "platform/posix/tree_walk.h"
#include "platform/tree_removal.h"

namespace pellanor::platform {
namespace {

std::string trashFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && *dataHome != '\0') return std::string(dataHome) + "/Trash";
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return std::string(home) + "/.local/share/Trash";
    return {};
}

}  // namespace

std::int64_t recycleBinSize() {
    const std::string trash = trashFolder();
    return trash.empty() ? 0 : posix::treeSize(trash + "/files");
}

bool emptyRecycleBin() {
    const std::string trash = trashFolder();
    if (trash.empty()) return false;
    // Emptied, not removed: other trash users expect files/ and info/ to exist.
    const bool files = clearFolder(trash + "/files").complete();
    const bool info = clearFolder(trash + "/info").complete();
    removeTree(trash + "/directorysizes");
    return files && info;
}

}  // namespace pellanor::platform
