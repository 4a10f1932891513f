// Win32: privileges of the process token.
#include "platform/privileges.h"

#include <windows.h>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {

bool enablePrivilege(const std::string& name) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) {
        return false;
    }
    const win32::ScopedHandle token(raw);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, win32::toWide(name).c_str(),
                               &privileges.Privileges[0].Luid)) {
        return false;
    }
    // The call succeeds for a privilege the account does not hold and says so only through
    // ERROR_NOT_ALL_ASSIGNED.
    SetLastError(ERROR_SUCCESS);
    if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof privileges, nullptr,
                               nullptr)) {
        return false;
    }
    return GetLastError() == ERROR_SUCCESS;
}

}  // namespace pellanor::platform
