// POSIX: /proc is the snapshot; a pidfd is the process handle.
#include "platform/processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <fstream>
#include <memory>

namespace pellanor::platform {
namespace {

bool isAllDigits(const char* text) {
    if (*text == '\0') return false;
    for (; *text != '\0'; ++text) {
        if (std::isdigit(static_cast<unsigned char>(*text)) == 0) return false;
    }
    return true;
}

std::string executableName(std::uint32_t pid) {
    const std::string base = "/proc/" + std::to_string(pid);
    char target[PATH_MAX];
    const ssize_t length = ::readlink((base + "/exe").c_str(), target, sizeof target);
    if (length > 0) {
        std::string path(target, static_cast<std::size_t>(length));
        // The kernel marks an executable replaced after start.
        const std::string deleted = " (deleted)";
        if (path.size() > deleted.size() &&
            path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0) {
            path.resize(path.size() - deleted.size());
        }
        return path.substr(path.find_last_of('/') + 1);
    }
    std::ifstream comm(base + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// The one-letter state of /proc/<pid>/stat; the name in parentheses may itself hold spaces
// and parentheses, so the state follows the last ')'.
char processState(std::uint32_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return '\0';
    const auto close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size()) return '\0';
    return line[close + 2];
}

int openPidDescriptor(std::uint32_t pid) {
#ifdef SYS_pidfd_open
    const long fd = ::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0);
    if (fd >= 0) return static_cast<int>(fd);
#endif
    return ::open(("/proc/" + std::to_string(pid)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

std::optional<std::vector<ProcessEntry>> processSnapshot() {
    std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
    if (!proc) return std::nullopt;
    std::vector<ProcessEntry> entries;
    while (const dirent* entry = ::readdir(proc.get())) {
        if (!isAllDigits(entry->d_name)) continue;
        const auto pid = static_cast<std::uint32_t>(std::stoul(entry->d_name));
        entries.push_back({pid, executableName(pid)});
    }
    std::sort(entries.begin(), entries.end(),
              [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
    entries.insert(entries.begin(), ProcessEntry{0, "[System Process]"});
    return entries;
}

std::optional<std::uint32_t> ProcessHandle::exitCode() const {
    if (!valid()) return std::nullopt;
    const char state = processState(m_pid);
    if (state == '\0' || state == 'Z' || state == 'X') return 0;
    return kStillActive;
}

// Through the descriptor where the kernel offers it, so that a recycled pid is never hit.
bool ProcessHandle::terminate(std::uint32_t) {
    if (!valid()) return false;
#ifdef SYS_pidfd_send_signal
    if (::syscall(SYS_pidfd_send_signal, static_cast<int>(m_raw), SIGKILL, nullptr, 0) == 0) {
        return true;
    }
#endif
    return ::kill(static_cast<pid_t>(m_pid), SIGKILL) == 0;
}

void ProcessHandle::close() {
    if (m_raw != 0) ::close(static_cast<int>(m_raw));
    m_raw = 0;
}

ProcessHandle openProcess(std::uint32_t pid) {
    if (pid == 0 || ::kill(static_cast<pid_t>(pid), 0) != 0) return {};
    const int fd = openPidDescriptor(pid);
    if (fd < 0) return {};
    // Descriptor 0 would read as "no handle"; it is only free when stdin was closed.
    return ProcessHandle(static_cast<std::uintptr_t>(fd), pid);
}

std::uint32_t currentProcessId() { return static_cast<std::uint32_t>(::getpid()); }

}  // namespace pellanor::platform
