// Win32: CreateProcessW with the caller's command line; the child is neither waited for nor kept.
#include "platform/launch.h"

#include <windows.h>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {

LaunchResult launchProcess(const LaunchRequest& request) {
    const std::wstring program = win32::toWide(request.program);
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::wstring commandLine = win32::toWide(request.commandLine);
    const std::wstring workDir = win32::toWide(request.workDir);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, nullptr,
                        workDir.empty() ? nullptr : workDir.c_str(), &startup, &process)) {
        return {false, static_cast<std::uint32_t>(GetLastError())};
    }
    const win32::ScopedHandle processHandle(process.hProcess);
    const win32::ScopedHandle threadHandle(process.hThread);
    return {true, 0};
}

// Windows starts any readable program file; only its presence is checked, so that both
// backends answer the same for a missing file or a folder.
bool allowStarting(const std::string& path, std::uint32_t* errorCode) {
    const DWORD attributes = GetFileAttributesW(win32::toWide(path).c_str());
    DWORD error = ERROR_SUCCESS;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = GetLastError();
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        error = ERROR_ACCESS_DENIED;
    }
    if (errorCode != nullptr) *errorCode = static_cast<std::uint32_t>(error);
    return error == ERROR_SUCCESS;
}

}  // namespace pellanor::platform
