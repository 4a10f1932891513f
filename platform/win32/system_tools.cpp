// Win32: the system tools from the Windows and system folders the system itself reports.
#include "platform/system_tools.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

using FolderQuery = UINT(WINAPI*)(LPWSTR, UINT);

std::string folderOf(FolderQuery query) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = query(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return win32::toUtf8(std::wstring(folder, length));
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::string systemToolPath(const std::string& name) {
    if (name.empty() || name.find_first_of("\\/:") != std::string::npos) return {};
    const std::string file = name.find('.') == std::string::npos ? name + ".exe" : name;
    const std::string key = lowered(file);
    std::string folder;
    if (key == "explorer.exe") {
        folder = folderOf(GetWindowsDirectoryW);
    } else {
        folder = folderOf(GetSystemDirectoryW);
        if (!folder.empty() && key == "wmic.exe") folder += "\\wbem";
    }
    return folder.empty() ? std::string() : folder + '\\' + file;
}

}  // namespace pellanor::platform
