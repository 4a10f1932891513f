// POSIX stand-in for named events: a lock file per name, held with a shared lock by every
// process that set or has seen the event. A set event is one whose file somebody holds.
#include "platform/named_event.h"

#include <fcntl.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "platform/posix/fd.h"
#include "platform/posix/objects_folder.h"

namespace pellanor::platform {

namespace {

// Events this process keeps. A lock never conflicts with its own open file description, and a
// second shared lock of ours would add nothing, hence the table.
struct HeldEvents {
    std::mutex lock;
    std::map<std::string, posix::Fd> files;
};

HeldEvents& heldEvents() {
    static auto* held = new HeldEvents;  // never destroyed: the events last until the process ends
    return *held;
}

std::string eventFilePath(const std::string& name, bool create) {
    const std::string folder = posix::objectsFolder(create);
    if (folder.empty()) return {};
    return folder + '/' + posix::objectFileName(name) + ".event";
}

flock wholeFileLock(short type) {
    flock lock{};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

// Open-file-description locks: they belong to the descriptor, not the process, so a thread
// that tests never disturbs the lock another thread of ours holds, and they end with the holder.
bool holdShared(const posix::Fd& file) {
    flock lock = wholeFileLock(F_RDLCK);
    return fcntl(file.get(), F_OFD_SETLK, &lock) == 0;
}

// A write lock would conflict with any lock at all: F_OFD_GETLK reports the first holder it
// meets and takes nothing itself.
bool someoneHolds(const posix::Fd& file) {
    flock lock = wholeFileLock(F_WRLCK);
    return fcntl(file.get(), F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

}  // namespace

bool setNamedEvent(const std::string& name) {
    HeldEvents& held = heldEvents();
    const std::lock_guard<std::mutex> guard(held.lock);
    if (held.files.count(name) != 0) return true;
    // Windows makes an unnamed event for an empty name: set, but nobody else can find it.
    if (name.empty()) return true;
    const std::string path = eventFilePath(name, true);
    if (path.empty()) return false;
    posix::Fd file(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (file.get() < 0 || !holdShared(file)) return false;
    held.files.emplace(name, std::move(file));
    return true;
}

bool isNamedEventSet(const std::string& name) {
    HeldEvents& held = heldEvents();
    const std::lock_guard<std::mutex> guard(held.lock);
    if (held.files.count(name) != 0) return true;
    if (name.empty()) return false;
    const std::string path = eventFilePath(name, false);
    if (path.empty()) return false;
    posix::Fd file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (file.get() < 0 || !someoneHolds(file)) return false;
    // Kept from now on, as the Windows handle is. Should the setter have ended between the test
    // and this lock, we still saw it set: so would a Windows handle opened at that moment.
    if (holdShared(file)) held.files.emplace(name, std::move(file));
    return true;
}

}  // namespace pellanor::platform
