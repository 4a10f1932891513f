// POSIX stand-in for named mutexes: one lock file per name in the per-user objects folder,
// write-locked by the holder for the life of the process.
#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/posix/fd.h"
#include "platform/posix/objects_folder.h"

namespace pellanor::platform {
namespace posix {
namespace {

bool isOurPrivateFolder(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 077) == 0;
}

std::string checkedFolder(const std::string& path, bool create) {
    if (create && mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return {};
    return isOurPrivateFolder(path) ? path : std::string();
}

std::string nonEmptyVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::string objectsFolder(bool create) {
    if (const std::string own = nonEmptyVariable("PELLANOR_OBJECTS_DIR"); !own.empty()) {
        return checkedFolder(own, create);
    }
    if (const std::string runtime = nonEmptyVariable("XDG_RUNTIME_DIR"); !runtime.empty()) {
        return checkedFolder(runtime + "/pellanor-objects", create);
    }
    // /tmp is shared by every user: a folder someone else made first under our name is refused
    // by the ownership and mode check rather than used.
    return checkedFolder("/tmp/pellanor-objects-" + std::to_string(geteuid()), create);
}

std::string objectsSubfolder(const std::string& subfolder, bool create) {
    const std::string parent = objectsFolder(create);
    if (parent.empty()) return {};
    return checkedFolder(parent + '/' + subfolder, create);
}

std::string objectFileName(const std::string& name) {
    std::string file;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '_';
        if (plain) {
            file += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            file += escaped;
        }
    }
    return file;
}

}  // namespace posix

namespace {

// Mutexes this process holds. Windows answers "already exists" to a second CreateMutex of a
// name in the same process too, and a lock never conflicts with its own holder, hence the table.
struct HeldMutexes {
    std::mutex lock;
    std::map<std::string, posix::Fd> files;
};

HeldMutexes& heldMutexes() {
    static auto* held = new HeldMutexes;  // never destroyed: the locks last until the process ends
    return *held;
}

std::string lockFilePath(const std::string& name, bool create) {
    const std::string folder = posix::objectsFolder(create);
    if (folder.empty()) return {};
    return folder + '/' + posix::objectFileName(name) + ".mutex";
}

// Open-file-description locks rather than flock: a holder's lock is tested with F_OFD_GETLK,
// which takes nothing, so testing never makes a concurrent creator believe the name is taken.
flock wholeFileWriteLock() {
    flock lock{};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return lock;
}

}  // namespace

MutexCreation createNamedMutex(const std::string& name) {
    HeldMutexes& held = heldMutexes();
    const std::lock_guard<std::mutex> guard(held.lock);
    if (held.files.count(name) != 0) return MutexCreation::AlreadyExists;
    // Windows makes an unnamed mutex for an empty name: nobody else can ever find it.
    if (name.empty()) return MutexCreation::Created;
    const std::string path = lockFilePath(name, true);
    if (path.empty()) return MutexCreation::Failed;
    posix::Fd file(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (file.get() < 0) return MutexCreation::Failed;
    flock lock = wholeFileWriteLock();
    if (fcntl(file.get(), F_OFD_SETLK, &lock) != 0) {
        return errno == EAGAIN || errno == EACCES ? MutexCreation::AlreadyExists
                                                  : MutexCreation::Failed;
    }
    held.files.emplace(name, std::move(file));
    return MutexCreation::Created;
}

bool namedMutexExists(const std::string& name) {
    HeldMutexes& held = heldMutexes();
    {
        const std::lock_guard<std::mutex> guard(held.lock);
        if (held.files.count(name) != 0) return true;
    }
    if (name.empty()) return false;
    const std::string path = lockFilePath(name, false);
    if (path.empty()) return false;
    const posix::Fd file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (file.get() < 0) return false;
    flock lock = wholeFileWriteLock();
    if (fcntl(file.get(), F_OFD_GETLK, &lock) != 0) return false;
    return lock.l_type != F_UNLCK;
}

}  // namespace pellanor::platform
