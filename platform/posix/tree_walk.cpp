// Tree walks with lstat and descriptors relative to the parent, so that a link swapped in
// during the walk is never followed.
#include "platform/posix/tree_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace pellanor::platform::posix {
namespace {

class Directory final {
public:
    explicit Directory(int fd) : m_dir(fd >= 0 ? ::fdopendir(fd) : nullptr) {
        if (m_dir == nullptr && fd >= 0) ::close(fd);
    }
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;
    ~Directory() {
        if (m_dir != nullptr) ::closedir(m_dir);
    }
    DIR* get() const { return m_dir; }
    int fd() const { return ::dirfd(m_dir); }

private:
    DIR* m_dir;
};

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

int openFolderAt(int parent, const char* name) {
    return ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

std::int64_t sizeAt(int parent, const char* name) {
    struct stat info {};
    if (::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return 0;
    if (S_ISREG(info.st_mode)) return static_cast<std::int64_t>(info.st_size);
    if (!S_ISDIR(info.st_mode)) return 0;
    Directory folder(openFolderAt(parent, name));
    if (folder.get() == nullptr) return 0;
    std::int64_t sum = 0;
    while (const dirent* entry = ::readdir(folder.get())) {
        if (!isDotOrDotDot(entry->d_name)) sum += sizeAt(folder.fd(), entry->d_name);
    }
    return sum;
}

bool removeAt(int parent, const char* name);

// Takes ownership of `fd`; true when every entry went.
bool removeEntriesOf(int fd) {
    Directory folder(fd);
    if (folder.get() == nullptr) return false;
    bool allGone = true;
    while (const dirent* entry = ::readdir(folder.get())) {
        if (isDotOrDotDot(entry->d_name)) continue;
        allGone = removeAt(folder.fd(), entry->d_name) && allGone;
    }
    return allGone;
}

bool removeAt(int parent, const char* name) {
    struct stat info {};
    if (::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    if (!S_ISDIR(info.st_mode)) return ::unlinkat(parent, name, 0) == 0 || errno == ENOENT;
    int fd = openFolderAt(parent, name);
    // Without following: a link swapped in since the check must not pass the mode to its target.
    if (fd < 0 && errno == EACCES &&
        ::fchmodat(parent, name, info.st_mode | S_IRWXU, AT_SYMLINK_NOFOLLOW) == 0) {
        fd = openFolderAt(parent, name);
    }
    removeEntriesOf(fd);
    return ::unlinkat(parent, name, AT_REMOVEDIR) == 0 || errno == ENOENT;
}

}  // namespace

std::int64_t treeSize(const std::string& path) { return sizeAt(AT_FDCWD, path.c_str()); }

bool removeTree(const std::string& path) { return removeAt(AT_FDCWD, path.c_str()); }

bool clearFolder(const std::string& path) {
    const int fd = openFolderAt(AT_FDCWD, path.c_str());
    if (fd < 0) return errno == ENOENT;
    return removeEntriesOf(fd);
}

}  // namespace pellanor::platform::posix
