// Win32: the product property through msi.dll.
#include "platform/installer.h"

#include <windows.h>

#include <msi.h>

#include "platform/win32/wide.h"

namespace pellanor::platform::installer {

std::string productIcon(const std::string& productCode, Status* status) {
    wchar_t buffer[kPropertyBufferUnits] = {};
    DWORD units = kPropertyBufferUnits;
    const UINT result = MsiGetProductInfoW(win32::toWide(productCode).c_str(),
                                           INSTALLPROPERTY_PRODUCTICON, buffer, &units);
    if (status != nullptr) *status = static_cast<Status>(result);
    if (result != ERROR_SUCCESS) return {};
    return win32::toUtf8(std::wstring_view(buffer, units));
}

}  // namespace pellanor::platform::installer
