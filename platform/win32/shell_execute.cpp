// Win32: ShellExecuteW, whose HINSTANCE result is an error number up to 32.
#include "platform/shell_execute.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdint>

#include "platform/win32/wide.h"

namespace pellanor::platform {

bool shellExecute(const std::string& program, const std::string& parameters) {
    const std::wstring file = win32::toWide(program);
    const std::wstring arguments = win32::toWide(parameters);
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", file.c_str(),
                      arguments.empty() ? nullptr : arguments.c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<std::intptr_t>(result) > 32;
}

}  // namespace pellanor::platform
