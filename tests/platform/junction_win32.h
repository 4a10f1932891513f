// Junctions for the Windows tests: the standard library cannot make them. Wine 8 refuses
// (FSCTL_SET_REPARSE_POINT fails with error 50), so callers skip there.
#pragma once

#include <windows.h>

#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace pellanor::test_support {

// A mount-point reparse point at `link` (an empty folder) targeting `target`.
inline bool makeJunction(const std::filesystem::path& link, const std::filesystem::path& target) {
    if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
    const std::wstring substitute = L"\\??\\" + target.wstring();
    const std::wstring print = target.wstring();
    const std::size_t nameBytes = (substitute.size() + print.size() + 2) * sizeof(wchar_t);
    std::vector<BYTE> buffer(16 + nameBytes);
    auto* words = reinterpret_cast<WORD*>(buffer.data());
    *reinterpret_cast<DWORD*>(buffer.data()) = IO_REPARSE_TAG_MOUNT_POINT;
    words[2] = static_cast<WORD>(8 + nameBytes);                              // data length
    words[4] = 0;                                                             // name offset
    words[5] = static_cast<WORD>(substitute.size() * sizeof(wchar_t));        // name length
    words[6] = static_cast<WORD>((substitute.size() + 1) * sizeof(wchar_t));  // print offset
    words[7] = static_cast<WORD>(print.size() * sizeof(wchar_t));             // print length
    auto* names = reinterpret_cast<wchar_t*>(buffer.data() + 16);
    std::copy(substitute.begin(), substitute.end(), names);
    std::copy(print.begin(), print.end(), names + substitute.size() + 1);

    HANDLE folder = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    const BOOL ok =
        DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, buffer.data(),
                        static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
    CloseHandle(folder);
    return ok != 0;
}

}  // namespace pellanor::test_support
