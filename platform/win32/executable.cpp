// Win32: the module file name of the process's executable.
#include "platform/executable.h"

#include <windows.h>

#include <psapi.h>

#include "platform/win32/wide.h"

namespace pellanor::platform {

std::string executablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD units =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (units == 0) return {};
        // A long path is cut to the buffer size rather than refused; grow and ask again.
        if (units < buffer.size()) return win32::toUtf8(std::wstring_view(buffer.data(), units));
        buffer.resize(buffer.size() * 2);
    }
}

// The wide query keeps a non-ASCII executable name intact in the UTF-8 log; the ANSI one
// would pass it through the code page.
std::string executableBaseName() {
    wchar_t buffer[MAX_PATH];
    const DWORD units = K32GetModuleBaseNameW(GetCurrentProcess(), nullptr, buffer, MAX_PATH);
    if (units == 0) return {};
    return win32::toUtf8(std::wstring_view(buffer, units));
}

}  // namespace pellanor::platform
