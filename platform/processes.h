// Process snapshots, the liveness test and termination.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pellanor::platform {

// The exit code a process reports while it still runs.
inline constexpr std::uint32_t kStillActive = 259;

struct ProcessEntry {
    std::uint32_t pid = 0;
    std::string exeName;  // the executable file name as the system reports it, UTF-8
};

// Every process of the system, in snapshot order. On Windows the first entry is the idle
// process; the POSIX stand-in starts with the same pseudo-entry (pid 0, "[System Process]")
// and then lists /proc in ascending pid order, naming each process by the file name of its
// executable (its kernel name when the executable cannot be read). nullopt when no snapshot
// can be taken. Blocks briefly.
std::optional<std::vector<ProcessEntry>> processSnapshot();

// Owner of one opened process. Move-only; closes on destruction.
class ProcessHandle final {
public:
    ProcessHandle() = default;
    ProcessHandle(std::uintptr_t raw, std::uint32_t pid) : m_raw(raw), m_pid(pid) {}
    ProcessHandle(ProcessHandle&& other) noexcept
        : m_raw(std::exchange(other.m_raw, 0)), m_pid(other.m_pid) {}
    ProcessHandle& operator=(ProcessHandle&& other) noexcept {
        if (this != &other) {
            close();
            m_raw = std::exchange(other.m_raw, 0);
            m_pid = other.m_pid;
        }
        return *this;
    }
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;
    ~ProcessHandle() { close(); }

    bool valid() const { return m_raw != 0; }
    // The raw handle value, for log lines (POSIX: a descriptor of the process).
    std::uintptr_t value() const { return m_raw; }

    // kStillActive while the process runs; its exit code once it ended (POSIX: 0 for an ended
    // process that is not yet reaped). nullopt when the code cannot be read.
    std::optional<std::uint32_t> exitCode() const;

    // Ends the process; Windows passes `exitCode` on to it, POSIX sends SIGKILL. Returns
    // whether the system accepted the request.
    bool terminate(std::uint32_t exitCode);

    void close();

private:
    std::uintptr_t m_raw = 0;
    std::uint32_t m_pid = 0;
};

// Opens a process with full access; an invalid handle when that is refused (protected or
// another user's process, or one that has gone). POSIX grants it when this process may send
// signals to the target.
ProcessHandle openProcess(std::uint32_t pid);

// Id of this process.
std::uint32_t currentProcessId();

}  // namespace pellanor::platform
