// The owners of a file descriptor and of an open directory stream in the POSIX stand-in: each
// closes its resource exactly once.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <utility>

namespace pellanor::platform::posix {

class Fd final {
public:
    explicit Fd(int fd = -1) noexcept : m_fd(fd) {}
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }

    int get() const noexcept { return m_fd; }
    int release() noexcept { return std::exchange(m_fd, -1); }
    void reset(int fd = -1) noexcept {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// A directory stream over a descriptor it takes over; the descriptor is closed also when the
// stream cannot be made.
class ScopedDir final {
public:
    explicit ScopedDir(Fd fd) noexcept : m_dir(fd.get() >= 0 ? ::fdopendir(fd.get()) : nullptr) {
        if (m_dir != nullptr) fd.release();
    }
    ScopedDir(const ScopedDir&) = delete;
    ScopedDir& operator=(const ScopedDir&) = delete;
    ~ScopedDir() {
        if (m_dir != nullptr) ::closedir(m_dir);
    }

    DIR* get() const noexcept { return m_dir; }
    int fd() const noexcept { return ::dirfd(m_dir); }

private:
    DIR* m_dir;
};

}  // namespace pellanor::platform::posix
