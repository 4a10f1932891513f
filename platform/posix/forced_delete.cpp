// POSIX: permissions stand in for attributes; links are unlinked, never followed. Linux has no
// deletion at restart.
#include "platform/forced_delete.h"

#include "platform/paths.h"
#include "platform/tree_removal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pellanor::platform {

bool deleteEntry(const std::string& path) {
    std::string local = localPath(path);
    while (local.size() > 1 && local.back() == '/') local.pop_back();
    struct stat info {};
    if (::lstat(local.c_str(), &info) != 0) return errno == ENOENT;
    if (S_ISDIR(info.st_mode)) return ::rmdir(local.c_str()) == 0;
    return ::unlink(local.c_str()) == 0;
}

bool forceDeleteTree(const std::string& path) { return removeTree(localPath(path)).complete(); }

bool deleteAtReboot(const std::string&) { return false; }

}  // namespace pellanor::platform
