// Win32: deletion by handle with backup semantics, after the attributes are reset; reparse
// points are opened as themselves so that a junction's target is never touched. The walk over a
// tree is the one in tree_removal.cpp.
#include "platform/forced_delete.h"

#include <windows.h>

#include "platform/tree_removal.h"
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

// The attributes are reset through the same handle as the delete: SetFileAttributesW takes a
// name, and for a link the name may reach its target.
bool deleteWide(const std::wstring& path) {
    const std::wstring longPath = longWidePath(path);
    const DWORD attributes = GetFileAttributesW(longPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    const win32::ScopedHandle entry(
        CreateFileW(longPath.c_str(), DELETE | WRITE_DAC | WRITE_OWNER | FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    flags, nullptr));
    if (!entry.valid()) return false;
    FILE_BASIC_INFO basic{};  // zero times stay as they are
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(entry.get(), FileBasicInfo, &basic, sizeof basic);
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(entry.get(), FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

}  // namespace

bool deleteEntry(const std::string& path) { return deleteWide(win32::toWide(path)); }

bool forceDeleteTree(const std::string& path) {
    RemovalOptions options;
    options.backupSemantics = true;
    return removeTree(path, options).complete();
}

bool deleteAtReboot(const std::string& path) {
    return MoveFileExW(win32::toWide(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

}  // namespace pellanor::platform
