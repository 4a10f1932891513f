// Win32: the module file name of the process's executable, and the process's command line.
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

// The ANSI form is the one pages have always read; it is converted from the ANSI code page, not
// taken as UTF-8, so that characters of that code page keep their meaning.
std::string processCommandLine() {
    const char* line = GetCommandLineA();
    if (line == nullptr || *line == '\0') return {};
    const int units = MultiByteToWideChar(CP_ACP, 0, line, -1, nullptr, 0);
    if (units <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, line, -1, wide.data(), units);
    wide.resize(static_cast<std::size_t>(units) - 1);
    return win32::toUtf8(wide);
}

}  // namespace pellanor::platform
