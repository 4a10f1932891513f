// Win32: the desktop folder by SHGetFolderPathW and by its item id list.
#include "platform/shell_folders.h"

#include <windows.h>

#include <shlobj.h>

#include "platform/win32/shell_owners.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

std::wstring fromAnsi(const char* text) {
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), units);
    wide.pop_back();  // the terminating zero
    return wide;
}

}  // namespace

FolderLookup desktopFolder() {
    wchar_t buffer[MAX_PATH] = {};
    const HRESULT result =
        SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, SHGFP_TYPE_CURRENT, buffer);
    FolderLookup lookup;
    lookup.resultCode = static_cast<std::uint32_t>(result);
    if (SUCCEEDED(result)) lookup.path = win32::toUtf8(buffer);
    return lookup;
}

ItemListLookup desktopFolderByItemList() {
    ItemListLookup lookup;
    LPITEMIDLIST raw = nullptr;
    const HRESULT result = SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &raw);
    const win32::CoTaskMemory<ITEMIDLIST> itemList(raw);
    lookup.itemListResult = static_cast<std::uint32_t>(result);
    if (FAILED(result) || !itemList) return lookup;
    char buffer[MAX_PATH] = {};
    lookup.pathConverted = SHGetPathFromIDListA(itemList.get(), buffer) != FALSE;
    if (lookup.pathConverted) lookup.path = win32::toUtf8(fromAnsi(buffer));
    return lookup;
}

}  // namespace pellanor::platform
