// Win32: the program's paths are already the system's own; the system resolves them.
#include "platform/paths.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace pellanor::platform {

std::string localPath(const std::string& windowsPath) { return windowsPath; }

bool isAbsolutePath(const std::string& path) { return isWindowsAbsolutePath(path); }

// GetFullPathNameW is the normalisation every file call applies, so its answer names the folder
// those calls would reach, trailing dots and all.
std::string absoluteLocalPath(const std::string& path) {
    if (!isWindowsAbsolutePath(path)) return {};
    const std::wstring wide = win32::toWide(path);
    DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full;
    while (size > full.size()) {
        full.resize(size);
        size =
            GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (size == 0) return {};
    }
    full.resize(size);
    std::string result = win32::toUtf8(full);
    // "C:\x\" keeps its separator; only a drive root needs one.
    while (result.size() > 3 && result.back() == '\\') result.pop_back();
    return isWindowsAbsolutePath(result) ? result : std::string();
}

}  // namespace pellanor::platform
