// Win32: CreateFileW with full sharing and the sequential-scan hint; ReadFile is cancellable
// by CancelSynchronousIo.
#include "platform/file_reader.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

// Paths from the directory walk use '/', and paths past MAX_PATH need the "\\?\" form, which
// takes backslashes only.
std::wstring systemPath(const std::string& path) {
    std::wstring wide = win32::toWide(path);
    for (wchar_t& c : wide) {
        if (c == L'/') c = L'\\';
    }
    if (wide.size() >= MAX_PATH && wide.size() > 2 && wide[1] == L':') wide.insert(0, L"\\\\?\\");
    return wide;
}

}  // namespace

struct FileReader::Native {
    HANDLE file = INVALID_HANDLE_VALUE;
    ~Native() { close(); }
    void close() {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
    }
};

FileReader::FileReader() : m_native(std::make_unique<Native>()) {}

FileReader::~FileReader() = default;

bool FileReader::open(const std::string& path, std::int64_t /*expectedSize*/) {
    m_native->close();
    m_native->file = CreateFileW(systemPath(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (m_native->file == INVALID_HANDLE_VALUE) return false;
    // Only files on a disk are read: a pipe waits for a writer and a device such as NUL or CON
    // answers in ways no file does, either of which could hang the caller.
    if (GetFileType(m_native->file) != FILE_TYPE_DISK) {
        m_native->close();
        return false;
    }
    return true;
}

std::int64_t FileReader::read(char* buffer, std::size_t capacity) {
    if (m_native->file == INVALID_HANDLE_VALUE) return -1;
    DWORD count = 0;
    const DWORD wanted = capacity > 0x40000000u ? 0x40000000u : static_cast<DWORD>(capacity);
    if (!ReadFile(m_native->file, buffer, wanted, &count, nullptr)) return -1;
    return static_cast<std::int64_t>(count);
}

}  // namespace pellanor::platform
