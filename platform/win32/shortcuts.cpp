// Win32: shell link objects (IShellLinkW) stored through IPersistFile.
#include "platform/shortcuts.h"

#include <windows.h>

#include <shlobj.h>
#include <shobjidl.h>

#include "platform/win32/shell_owners.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

bool createShellLink(win32::ComPtr<IShellLinkW>* link, win32::ComPtr<IPersistFile>* file) {
    return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkW, link->put())) &&
           SUCCEEDED((*link)->QueryInterface(IID_IPersistFile, file->put()));
}

// Link fields are limited to MAX_PATH characters except the arguments, which the shell keeps
// up to INFOTIPSIZE.
std::string fieldText(const wchar_t* buffer) { return win32::toUtf8(buffer); }

}  // namespace

bool saveShellLink(const std::string& linkPath, const ShellLink& link) {
    const win32::ComApartment com;
    if (!com.initialised()) return false;
    win32::ComPtr<IShellLinkW> shellLink;
    win32::ComPtr<IPersistFile> file;
    if (!createShellLink(&shellLink, &file)) return false;
    shellLink->SetPath(win32::toWide(link.target).c_str());
    shellLink->SetWorkingDirectory(win32::toWide(link.workDir).c_str());
    shellLink->SetArguments(win32::toWide(link.arguments).c_str());
    shellLink->SetIconLocation(win32::toWide(link.iconPath).c_str(), link.iconIndex);
    return SUCCEEDED(file->Save(win32::toWide(linkPath).c_str(), FALSE));
}

std::optional<ShellLink> readShellLink(const std::string& linkPath) {
    const win32::ComApartment com;
    if (!com.initialised()) return std::nullopt;
    win32::ComPtr<IShellLinkW> shellLink;
    win32::ComPtr<IPersistFile> file;
    if (!createShellLink(&shellLink, &file) ||
        FAILED(file->Load(win32::toWide(linkPath).c_str(), STGM_READ))) {
        return std::nullopt;
    }
    ShellLink link;
    wchar_t path[MAX_PATH] = {};
    wchar_t arguments[INFOTIPSIZE] = {};
    if (FAILED(shellLink->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)) ||
        FAILED(shellLink->GetArguments(arguments, INFOTIPSIZE))) {
        return std::nullopt;
    }
    link.target = fieldText(path);
    link.arguments = fieldText(arguments);
    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(shellLink->GetWorkingDirectory(folder, MAX_PATH)))
        link.workDir = fieldText(folder);
    wchar_t icon[MAX_PATH] = {};
    if (SUCCEEDED(shellLink->GetIconLocation(icon, MAX_PATH, &link.iconIndex))) {
        link.iconPath = fieldText(icon);
    }
    return link;
}

}  // namespace pellanor::platform
