// POSIX directory walk: getdents64 on directory descriptors and one fstatat per listed entry.
#include "platform/directory_iterator.h"
#include "platform/posix/fd.h"
#include "platform/posix/stat_identity.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace pellanor::platform {
namespace {

// Directory descriptor; closed by its owner.
using posix::Fd;
// Layout of the records getdents64 writes (struct linux_dirent64), read by offset because the
// name is a trailing array.
constexpr std::size_t kRecordLengthOffset = 16;
constexpr std::size_t kTypeOffset = 18;
constexpr std::size_t kNameOffset = 19;
constexpr std::size_t kBufferBytes = 32 * 1024;

struct Frame {
    Fd fd;
    std::string path;  // ends with '/'
    std::vector<char> buffer;
    std::size_t position = 0;
    std::size_t length = 0;
};

// access() answers for the real user, as the listing rules ask. Owners and root are decided from
// the mode bits without the extra call; anything else (groups, ACLs) asks the kernel.
bool readableByRealUser(int dirFd, const char* name, const struct stat& info) {
    static const uid_t user = ::getuid();  // the real user never changes in this program
    if (user == 0 && !S_ISDIR(info.st_mode)) return true;
    if (user == info.st_uid && (info.st_mode & S_IRUSR) != 0) return true;
    return ::faccessat(dirFd, name, R_OK, 0) == 0;
}

Fd openChild(int dirFd, const char* name) {
    return Fd(::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

}  // namespace

struct DirectoryIterator::State {
    DirectoryFilter filter;
    std::vector<Frame> frames;

    void push(Fd fd, std::string path) {
        if (fd.get() < 0) return;
        if (path.empty() || path.back() != '/') path += '/';
        Frame frame;
        frame.fd = std::move(fd);
        frame.path = std::move(path);
        frame.buffer.resize(kBufferBytes);
        frames.push_back(std::move(frame));
    }

    // The next raw record of the innermost folder; false when that folder is finished. An
    // interrupted read (EINTR from a cancel) ends the folder like any other read error.
    bool nextRecord(Frame& frame, const char*& name, unsigned char& type) {
        if (frame.position >= frame.length) {
            const long read =
                ::syscall(SYS_getdents64, frame.fd.get(), frame.buffer.data(), frame.buffer.size());
            if (read <= 0) return false;
            frame.length = static_cast<std::size_t>(read);
            frame.position = 0;
        }
        const char* record = frame.buffer.data() + frame.position;
        unsigned short recordLength = 0;
        std::memcpy(&recordLength, record + kRecordLengthOffset, sizeof recordLength);
        type = static_cast<unsigned char>(record[kTypeOffset]);
        name = record + kNameOffset;
        frame.position += recordLength;
        return true;
    }

    bool accept(Frame& frame, const char* name, unsigned char type, DirectoryEntry& entry);
};

// Decides one record: enters it if it is a folder to walk, then says whether it is listed.
bool DirectoryIterator::State::accept(Frame& frame, const char* name, unsigned char type,
                                      DirectoryEntry& entry) {
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return false;
    const bool hidden = name[0] == '.';
    if (hidden && !filter.hidden) return false;
    const int dirFd = frame.fd.get();
    if (type == DT_DIR && !filter.directories) {
        if (filter.recursive) push(openChild(dirFd, name), frame.path + name);
        return false;
    }
    if (type == DT_REG && !filter.files) return false;

    struct stat info {};
    if (::fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    const bool isDirectory = S_ISDIR(info.st_mode);
    const bool isFile = S_ISREG(info.st_mode);
    std::string path = frame.path + name;
    if (isDirectory && filter.recursive) {
        push(openChild(dirFd, name), path);
    }
    if (S_ISLNK(info.st_mode)) {
        // Only a dangling link gets this far, and nobody can read through it.
        struct stat target {};
        if (!filter.system || filter.readableOnly) return false;
        if (::fstatat(dirFd, name, &target, 0) == 0) return false;
    } else if (!isDirectory && !isFile && !filter.system) {
        return false;
    }
    if ((isDirectory && !filter.directories) || (isFile && !filter.files)) return false;
    if (filter.readableOnly && !readableByRealUser(dirFd, name, info)) return false;

    entry.path = std::move(path);
    entry.name = name;
    entry.isDirectory = isDirectory;
    entry.isFile = isFile;
    entry.size = isFile ? static_cast<std::int64_t>(info.st_size) : 0;
    entry.identity =
        isFile ? std::optional<FileIdentity>(posix::identityFromStat(info)) : std::nullopt;
    entry.linkCount = isFile ? static_cast<std::uint32_t>(info.st_nlink) : 0;
    // A dangling link has no time of its own in the listing rules; its target has none either.
    entry.modifiedMsecs = S_ISLNK(info.st_mode) ? 0 : posix::millisecondsFromStat(info);
    return true;
}

DirectoryIterator::DirectoryIterator(const std::string& root, const DirectoryFilter& filter)
    : m_state(std::make_unique<State>()) {
    m_state->filter = filter;
    m_state->push(Fd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)), root);
}

DirectoryIterator::~DirectoryIterator() = default;

bool DirectoryIterator::next(DirectoryEntry& entry) {
    auto& frames = m_state->frames;
    while (!frames.empty()) {
        // accept() may push a frame, so the current one is found by index on every turn.
        const std::size_t current = frames.size() - 1;
        const char* name = nullptr;
        unsigned char type = DT_UNKNOWN;
        if (!m_state->nextRecord(frames[current], name, type)) {
            frames.erase(frames.begin() + static_cast<std::ptrdiff_t>(current));
            continue;
        }
        if (m_state->accept(frames[current], name, type, entry)) return true;
    }
    return false;
}

}  // namespace pellanor::platform
