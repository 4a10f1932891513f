// Win32: known folders from the shell.
#include "platform/known_folders.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <memory>
#include <utility>

#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

struct CoTaskMemDeleter {
    void operator()(wchar_t* p) const noexcept { CoTaskMemFree(p); }
};
using CoTaskString = std::unique_ptr<wchar_t, CoTaskMemDeleter>;

std::string knownFolder(REFKNOWNFOLDERID id) {
    wchar_t* raw = nullptr;
    // The shell allocates the answer even on some failures; the owner frees it either way.
    const HRESULT result = SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &raw);
    const CoTaskString path(raw);
    if (FAILED(result) || !path) return {};
    return win32::toUtf8(path.get());
}

template <std::size_t N>
std::vector<std::string> knownFolders(const KNOWNFOLDERID* const (&ids)[N]) {
    std::vector<std::string> folders;
    for (const KNOWNFOLDERID* id : ids) {
        std::string folder = knownFolder(*id);
        if (!folder.empty()) folders.push_back(std::move(folder));
    }
    return folders;
}

}  // namespace

std::string roamingAppDataFolder() { return knownFolder(FOLDERID_RoamingAppData); }

std::string documentsFolder() { return knownFolder(FOLDERID_Documents); }

std::vector<std::string> userFolders() {
    const KNOWNFOLDERID* const kFolders[] = {
        &FOLDERID_Profile,   &FOLDERID_Desktop,        &FOLDERID_Documents,
        &FOLDERID_Downloads, &FOLDERID_Music,          &FOLDERID_Pictures,
        &FOLDERID_Videos,    &FOLDERID_RoamingAppData, &FOLDERID_LocalAppData,
    };
    return knownFolders(kFolders);
}

std::vector<std::string> protectedKnownFolders() {
    const KNOWNFOLDERID* const kSystemFolders[] = {
        &FOLDERID_Windows,         &FOLDERID_System,      &FOLDERID_ProgramFiles,
        &FOLDERID_ProgramFilesX86, &FOLDERID_ProgramData, &FOLDERID_UserProfiles,
    };
    std::vector<std::string> folders = userFolders();
    for (std::string& folder : knownFolders(kSystemFolders)) folders.push_back(std::move(folder));
    return folders;
}

}  // namespace pellanor::platform
