// Win32: deletion by handle with backup semantics, after the attributes are reset; reparse
// points are opened as themselves so that a junction's target is never touched.
#include "platform/forced_delete.h"

#include <windows.h>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

// The "\\?\" form turns off the system's path normalisation, so separators are fixed first.
std::wstring longWidePath(std::wstring path) {
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return win32::toWide(toLongPath(win32::toUtf8(path)));
}

bool deleteWide(const std::wstring& path) {
    const std::wstring longPath = longWidePath(path);
    SetFileAttributesW(longPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    const DWORD attributes = GetFileAttributesW(longPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    const win32::ScopedHandle entry(
        CreateFileW(longPath.c_str(), DELETE | WRITE_DAC | WRITE_OWNER | FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    flags, nullptr));
    if (!entry.valid()) return false;
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(entry.get(), FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

bool deleteTreeWide(const std::wstring& path) {
    const std::wstring longPath = longWidePath(path);
    const DWORD attributes = GetFileAttributesW(longPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (folder && !link) {
        WIN32_FIND_DATAW data{};
        const win32::ScopedFindHandle find(FindFirstFileW((longPath + L"\\*").c_str(), &data));
        for (BOOL more = find.valid(); more; more = FindNextFileW(find.get(), &data)) {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            deleteTreeWide(path + L"\\" + name);
        }
    }
    return deleteWide(path);
}

}  // namespace

bool deleteEntry(const std::string& path) { return deleteWide(win32::toWide(path)); }

bool forceDeleteTree(const std::string& path) {
    std::wstring wide = win32::toWide(path);
    while (wide.size() > 3 && (wide.back() == L'\\' || wide.back() == L'/')) wide.pop_back();
    return deleteTreeWide(wide);
}

bool deleteAtReboot(const std::string& path) {
    return MoveFileExW(win32::toWide(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

}  // namespace pellanor::platform
