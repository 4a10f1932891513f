// POSIX: plain open/read, with the kernel told the file is read once from front to back.
#include "platform/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellanor::platform {

struct FileReader::Native {
    int fd = -1;
    ~Native() { close(); }
    void close() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

FileReader::FileReader() : m_native(std::make_unique<Native>()) {}

FileReader::~FileReader() = default;

bool FileReader::open(const std::string& path, std::int64_t expectedSize) {
    m_native->close();
    // Only regular files are read: opening a FIFO would wait for a writer, and a device such as
    // /dev/zero never ends, either of which would hang the caller for good. O_NONBLOCK keeps the
    // open itself from waiting until the type is known.
    m_native->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (m_native->fd < 0) return false;
    struct stat info {};
    if (::fstat(m_native->fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        ::fcntl(m_native->fd, F_SETFL, O_RDONLY) != 0) {
        m_native->close();
        return false;
    }
    // Doubles the read-ahead window, which helps large files from cold storage; for small files
    // it is only one more system call.
    constexpr std::int64_t kHintFrom = 1024 * 1024;
    if (expectedSize < 0 || expectedSize >= kHintFrom) {
        ::posix_fadvise(m_native->fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    return true;
}

// No EINTR loop on purpose: an interrupted read is how a cancel reaches a blocked reader.
std::int64_t FileReader::read(char* buffer, std::size_t capacity) {
    if (m_native->fd < 0) return -1;
    const ssize_t count = ::read(m_native->fd, buffer, capacity);
    return count < 0 ? -1 : static_cast<std::int64_t>(count);
}

}  // namespace pellanor::platform
