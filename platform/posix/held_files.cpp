// The /proc scan behind HeldFiles. Descriptors and the two folders are stat'ed through their
// magic links, which lead to the file itself even when its name is gone; maps gives device and
// inode as text, so a file kept only as a mapping (the libraries a self-extracting program
// unpacks into /tmp and closes) is seen too.
#include "platform/posix/held_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/posix/fd.h"

namespace pellanor::platform::posix {
namespace {

bool isProcessFolder(const char* name) {
    if (*name == '\0') return false;
    for (; *name != '\0'; ++name) {
        if (std::isdigit(static_cast<unsigned char>(*name)) == 0) return false;
    }
    return true;
}

using FileSet = std::set<std::pair<dev_t, ino_t>>;

void addTarget(FileSet& files, int folder, const char* name) {
    struct stat info {};
    if (::fstatat(folder, name, &info, 0) == 0) files.insert({info.st_dev, info.st_ino});
}

void addDescriptors(FileSet& files, int process) {
    const ScopedDir descriptors(Fd(::openat(process, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    if (descriptors.get() == nullptr) return;
    while (const dirent* entry = ::readdir(descriptors.get())) {
        if (entry->d_name[0] != '.') addTarget(files, descriptors.fd(), entry->d_name);
    }
}

// A maps line: "start-end perms offset major:minor inode [path]", numbers but the inode in hex.
void addMappings(FileSet& files, int process) {
    Fd fd(::openat(process, "maps", O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return;
    std::FILE* maps = ::fdopen(fd.get(), "r");
    if (maps == nullptr) return;
    fd.release();
    unsigned major = 0;
    unsigned minor = 0;
    unsigned long long inode = 0;
    char line[512];
    while (std::fgets(line, sizeof line, maps) != nullptr) {
        // Paths can be longer than the buffer; the rest of such a line is skipped unread.
        const bool whole = std::strchr(line, '\n') != nullptr;
        if (std::sscanf(line, "%*s %*s %*s %x:%x %llu", &major, &minor, &inode) == 3 &&
            inode != 0) {
            files.insert({makedev(major, minor), static_cast<ino_t>(inode)});
        }
        for (int c = 0; !whole && c != '\n' && c != EOF;) c = std::fgetc(maps);
    }
    std::fclose(maps);
}

}  // namespace

HeldFiles HeldFiles::scan() {
    HeldFiles held;
    const ScopedDir proc(Fd(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    if (proc.get() == nullptr) return held;
    while (const dirent* entry = ::readdir(proc.get())) {
        if (!isProcessFolder(entry->d_name)) continue;
        const Fd process(::openat(proc.fd(), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (process.get() < 0) continue;
        addDescriptors(held.m_files, process.get());
        addMappings(held.m_files, process.get());
        addTarget(held.m_files, process.get(), "cwd");
        addTarget(held.m_files, process.get(), "root");
    }
    return held;
}

}  // namespace pellanor::platform::posix
