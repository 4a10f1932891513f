// Tree measurement with lstat and descriptors relative to the parent, so that a link swapped in
// during the walk is never followed. Removal lives in tree_removal.cpp.
#include "platform/posix/tree_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/posix/fd.h"

namespace pellanor::platform::posix {
namespace {

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

std::int64_t sizeAt(int parent, const char* name) {
    struct stat info {};
    if (::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return 0;
    if (S_ISREG(info.st_mode)) return static_cast<std::int64_t>(info.st_size);
    if (!S_ISDIR(info.st_mode)) return 0;
    const ScopedDir folder(
        Fd(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)));
    if (folder.get() == nullptr) return 0;
    std::int64_t sum = 0;
    while (const dirent* entry = ::readdir(folder.get())) {
        if (!isDotOrDotDot(entry->d_name)) sum += sizeAt(folder.fd(), entry->d_name);
    }
    return sum;
}

}  // namespace

std::int64_t treeSize(const std::string& path) { return sizeAt(AT_FDCWD, path.c_str()); }

}  // namespace pellanor::platform::posix
