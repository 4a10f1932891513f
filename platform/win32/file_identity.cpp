// Win32: the volume serial number and file index of an opened handle.
#include "platform/file_identity.h"

#include <windows.h>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {

std::optional<FileIdentity> fileIdentity(const std::string& path) {
    const win32::ScopedHandle file(win32::openForMetadata(win32::toWide(path).c_str()));
    if (!file.valid()) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    const std::uint64_t index =
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return FileIdentity{info.dwVolumeSerialNumber, index};
}

}  // namespace pellanor::platform
