// Win32: known folders from the shell.
#include "platform/known_folders.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <memory>

#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

struct CoTaskMemDeleter {
    void operator()(wchar_t* p) const noexcept { CoTaskMemFree(p); }
};
using CoTaskString = std::unique_ptr<wchar_t, CoTaskMemDeleter>;

}  // namespace

std::string roamingAppDataFolder() {
    wchar_t* raw = nullptr;
    // The shell allocates the answer even on some failures; the owner frees it either way.
    const HRESULT result =
        SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &raw);
    const CoTaskString path(raw);
    if (FAILED(result) || !path) return {};
    return win32::toUtf8(path.get());
}

}  // namespace pellanor::platform
