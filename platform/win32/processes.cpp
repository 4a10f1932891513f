// Win32: the Toolhelp process snapshot. The wide entries are read so that a name outside the
// ANSI code page reaches the caller intact instead of as question marks.
#include "platform/processes.h"

#include <windows.h>

#include <tlhelp32.h>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {
std::optional<std::vector<ProcessEntry>> processSnapshot() {
    const win32::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid()) return std::nullopt;
    std::vector<ProcessEntry> entries;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        entries.push_back({entry.th32ProcessID, win32::toUtf8(entry.szExeFile)});
    }
    return entries;
}

std::optional<std::uint32_t> ProcessHandle::exitCode() const {
    DWORD code = 0;
    if (!valid() || !GetExitCodeProcess(reinterpret_cast<HANDLE>(m_raw), &code)) {
        return std::nullopt;
    }
    return code;
}

bool ProcessHandle::terminate(std::uint32_t exitCode) {
    return valid() && TerminateProcess(reinterpret_cast<HANDLE>(m_raw), exitCode) != 0;
}

void ProcessHandle::close() {
    if (m_raw != 0) CloseHandle(reinterpret_cast<HANDLE>(m_raw));
    m_raw = 0;
}

ProcessHandle openProcess(std::uint32_t pid) {
    const HANDLE handle = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (handle == nullptr) return {};
    return ProcessHandle(reinterpret_cast<std::uintptr_t>(handle), pid);
}

std::uint32_t currentProcessId() { return GetCurrentProcessId(); }

}  // namespace pellanor::platform
