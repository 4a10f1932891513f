// POSIX: the user's freedesktop trash stands in for the recycle bin.
#include "platform/recycle_bin.h"

#include <dirent.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/posix/tree_walk.h"

namespace pellanor::platform {
namespace {

std::string trashFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && *dataHome != '\0') return std::string(dataHome) + "/Trash";
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return std::string(home) + "/.local/share/Trash";
    return {};
}

// Empties `folder` but keeps it: other trash users expect files/ and info/ to exist.
bool emptyFolder(const std::string& folder) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return true;
    bool allGone = true;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        allGone = posix::removeTree(folder + "/" + name) && allGone;
    }
    return allGone;
}

}  // namespace

std::int64_t recycleBinSize() {
    const std::string trash = trashFolder();
    return trash.empty() ? 0 : posix::treeSize(trash + "/files");
}

bool emptyRecycleBin() {
    const std::string trash = trashFolder();
    if (trash.empty()) return false;
    const bool files = emptyFolder(trash + "/files");
    const bool info = emptyFolder(trash + "/info");
    posix::removeTree(trash + "/directorysizes");
    return files && info;
}

}  // namespace pellanor::platform
