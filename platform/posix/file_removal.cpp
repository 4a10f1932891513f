// POSIX: unlink and rename with errno turned into reasons; files other processes hold are
// refused as in use (see the header for why).
#include "platform/file_removal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <unordered_set>

#include "platform/posix/fd.h"
#include "platform/posix/held_files.h"
#include "platform/posix/stat_identity.h"

namespace pellanor::platform {
namespace {

FileRemovalResult failure(int code) {
    switch (code) {
        case ENOENT:
        case ENOTDIR:
            return {RemovalFailure::NotFound, code};
        case EBUSY:
        case ETXTBSY:
            return {RemovalFailure::InUse, code};
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return {RemovalFailure::AccessDenied, code};
        case EEXIST:
        case ENOTEMPTY:
            return {RemovalFailure::Exists, code};
        default:
            return {RemovalFailure::Other, code};
    }
}

// rename() fails with EXDEV across file systems: the bytes are copied to a new file that may
// not exist yet, then the source goes. A half-written copy is removed again.
FileRemovalResult copyThenRemove(const std::string& from, const std::string& to,
                                 const std::atomic<bool>* stop) {
    posix::Fd source(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (source.get() < 0) return failure(errno);
    struct stat info {};
    if (::fstat(source.get(), &info) != 0) return failure(errno);
    posix::Fd target(
        ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777));
    if (target.get() < 0) return failure(errno);
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(source.get(), buffer, sizeof buffer);
        if (got == 0) break;
        if (stop != nullptr && *stop) {
            ::unlink(to.c_str());
            return {RemovalFailure::Stopped, 0};
        }
        if (got < 0 || ::write(target.get(), buffer, static_cast<size_t>(got)) != got) {
            const int code = errno;
            ::unlink(to.c_str());
            return failure(code);
        }
    }
    if (::unlink(from.c_str()) != 0) {
        const int code = errno;
        ::unlink(to.c_str());
        return failure(code);
    }
    return {};
}

}  // namespace

struct FileRemover::State {
    const std::atomic<bool>* stop = nullptr;
    // Keyed as FileIdentity folds device and inode, so a caller's identity can be looked up.
    std::optional<std::unordered_set<FileIdentity>> held;

    bool holds(const FileIdentity& identity) {
        if (!held) {
            held.emplace();
            const posix::HeldFiles scanned = posix::HeldFiles::scan();
            for (const auto& [device, inode] : scanned.files()) {
                struct stat info {};
                info.st_dev = device;
                info.st_ino = inode;
                held->insert(posix::identityFromStat(info));
            }
        }
        return held->count(identity) != 0;
    }

    bool holds(const std::string& path) {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
               holds(posix::identityFromStat(info));
    }
};

FileRemover::FileRemover(const std::atomic<bool>* stop) : m_state(std::make_unique<State>()) {
    m_state->stop = stop;
}
FileRemover::~FileRemover() = default;

FileRemovalResult FileRemover::remove(const std::string& path, const FileIdentity* known) {
    if (known != nullptr ? m_state->holds(*known) : m_state->holds(path)) {
        return {RemovalFailure::InUse, EBUSY};
    }
    if (::unlink(path.c_str()) != 0) return failure(errno);
    return {};
}

FileRemovalResult FileRemover::move(const std::string& from, const std::string& to) {
    if (m_state->holds(from)) return {RemovalFailure::InUse, EBUSY};
    // link() never replaces, where rename() would: the target name is claimed first.
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) == 0) return {};
        const int code = errno;
        ::unlink(to.c_str());
        return failure(code);
    }
    const int code = errno;
    if (code == EXDEV) return copyThenRemove(from, to, m_state->stop);
    // Some file systems (FAT, some network shares) have no hard links.
    if (code == EPERM || code == EOPNOTSUPP || code == EMLINK) {
        struct stat existing {};
        if (::lstat(to.c_str(), &existing) == 0) return {RemovalFailure::Exists, EEXIST};
        if (::rename(from.c_str(), to.c_str()) == 0) return {};
        return errno == EXDEV ? copyThenRemove(from, to, m_state->stop) : failure(errno);
    }
    return failure(code);
}

}  // namespace pellanor::platform
