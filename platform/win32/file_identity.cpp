// Win32: the volume serial number and file index of an opened handle.
#include "platform/file_identity.h"

#include <windows.h>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

std::uint64_t joined(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

// FILETIME counts 100 ns steps from 1601; 11,644,473,600 s lie between 1601 and 1970.
std::int64_t unixMsecs(const FILETIME& time) {
    const auto ticks = static_cast<std::int64_t>(joined(time.dwHighDateTime, time.dwLowDateTime));
    return ticks / 10000 - 11644473600000LL;
}

}  // namespace

std::optional<FileIdentity> fileIdentity(const std::string& path) {
    const win32::ScopedHandle file(win32::openForMetadata(win32::toWide(path).c_str()));
    if (!file.valid()) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, joined(info.nFileIndexHigh, info.nFileIndexLow)};
}

std::optional<FileFacts> fileFacts(const std::string& path) {
    const win32::ScopedHandle file(
        CreateFileW(win32::toWide(path).c_str(), 0,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    FileFacts facts;
    facts.identity = {info.dwVolumeSerialNumber, joined(info.nFileIndexHigh, info.nFileIndexLow)};
    facts.linkCount = info.nNumberOfLinks;
    facts.size = static_cast<std::int64_t>(joined(info.nFileSizeHigh, info.nFileSizeLow));
    facts.modifiedMsecs = unixMsecs(info.ftLastWriteTime);
    facts.isFile =
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    return facts;
}

}  // namespace pellanor::platform
