// Win32: three ways to size one file. The hibernation file is hidden from some listings and
// held open by the kernel, so each query may fail where the next one answers.
#include "platform/file_size.h"

#include <windows.h>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

std::int64_t combine(DWORD high, DWORD low) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

bool sizeFromFindData(const std::wstring& path, std::int64_t& size) {
    WIN32_FIND_DATAW data{};
    const win32::ScopedFindHandle find(
        FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
    if (!find.valid() || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    size = combine(data.nFileSizeHigh, data.nFileSizeLow);
    return true;
}

bool sizeFromHandle(const std::wstring& path, std::int64_t& size) {
    const win32::ScopedHandle file(win32::openForMetadata(path.c_str()));
    LARGE_INTEGER value{};
    if (!file.valid() || !GetFileSizeEx(file.get(), &value)) return false;
    size = value.QuadPart;
    return true;
}

bool sizeFromAttributes(const std::wstring& path, std::int64_t& size) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    size = combine(data.nFileSizeHigh, data.nFileSizeLow);
    return true;
}

}  // namespace

std::int64_t singleFileSize(const std::string& path) {
    const std::wstring wide = win32::toWide(path);
    std::int64_t size = 0;
    if (sizeFromFindData(wide, size) || sizeFromHandle(wide, size) ||
        sizeFromAttributes(wide, size)) {
        return size;
    }
    return 0;
}

}  // namespace pellanor::platform
