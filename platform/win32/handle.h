// Owners of the Win32 handle kinds the backend opens.
#pragma once

#include <windows.h>

namespace pellanor::platform::win32 {

// A kernel handle closed with CloseHandle; both null and INVALID_HANDLE_VALUE mean "none".
class ScopedHandle final {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(HANDLE handle) : m_handle(handle) {}
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle() {
        if (valid()) CloseHandle(m_handle);
    }
    bool valid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle = nullptr;
};

// A FindFirstFile handle closed with FindClose.
class ScopedFindHandle final {
public:
    explicit ScopedFindHandle(HANDLE handle) : m_handle(handle) {}
    ScopedFindHandle(const ScopedFindHandle&) = delete;
    ScopedFindHandle& operator=(const ScopedFindHandle&) = delete;
    ~ScopedFindHandle() {
        if (valid()) FindClose(m_handle);
    }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// No access rights: enough for metadata, and not refused by files other programs hold open.
inline HANDLE openForMetadata(const wchar_t* path) {
    return CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace pellanor::platform::win32
