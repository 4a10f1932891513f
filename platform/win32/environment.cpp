// Win32: the process environment block and ExpandEnvironmentStringsW.
#include "platform/environment.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace pellanor::platform {

using win32::toUtf8;
using win32::toWide;

std::string expandEnvironmentStrings(const std::string& text) {
    wchar_t buffer[kExpansionBufferUnits];
    // The answer counts the terminating zero; when the buffer is too small it is the size needed.
    const DWORD units = ExpandEnvironmentStringsW(toWide(text).c_str(), buffer,
                                                  static_cast<DWORD>(kExpansionBufferUnits));
    if (units == 0 || units > kExpansionBufferUnits) return text;
    return toUtf8(std::wstring_view(buffer, units - 1));
}

std::optional<std::string> environmentVariable(const std::string& name) {
    const std::wstring wideName = toWide(name);
    std::wstring value(64, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD units = GetEnvironmentVariableW(wideName.c_str(), value.data(),
                                                    static_cast<DWORD>(value.size()));
        if (units == 0) {
            // Zero is also the length of a variable set to the empty text.
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::string();
        }
        if (units < value.size()) return toUtf8(std::wstring_view(value.data(), units));
        value.resize(units);  // too small: `units` is the size needed, zero included
    }
}

bool setEnvironmentVariable(const std::string& name, const std::string& value) {
    return SetEnvironmentVariableW(toWide(name).c_str(), toWide(value).c_str()) != FALSE;
}

bool unsetEnvironmentVariable(const std::string& name) {
    return SetEnvironmentVariableW(toWide(name).c_str(), nullptr) != FALSE;
}

}  // namespace pellanor::platform
