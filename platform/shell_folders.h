// The desktop folder, by the two shell routes the program uses, with the codes its log shows.
// POSIX answers the XDG desktop folder on both routes: XDG_DESKTOP_DIR from
// "$XDG_CONFIG_HOME/user-dirs.dirs" (default "$HOME/.config/user-dirs.dirs"), else "$HOME/Desktop";
// without $HOME the lookup fails with code 0x80004005. The folder is not created.
#pragma once

#include <cstdint>
#include <string>

namespace pellanor::platform {

inline constexpr std::uint32_t kLookupFailed = 0x80004005u;

// The severity bit of an HRESULT; S_FALSE and other success codes leave it clear.
inline constexpr bool isFailureCode(std::uint32_t code) { return (code & 0x80000000u) != 0; }

struct FolderLookup {
    std::uint32_t resultCode = kLookupFailed;  // an HRESULT: 0 is success
    std::string path;                          // empty on failure
};

// Windows: SHGetFolderPathW(CSIDL_DESKTOP, current value) into a buffer of MAX_PATH characters.
FolderLookup desktopFolder();

struct ItemListLookup {
    std::uint32_t itemListResult = kLookupFailed;  // an HRESULT: 0 is success
    bool pathConverted = false;                    // the item list became a path
    std::string path;                              // empty unless pathConverted
};

// Windows: SHGetSpecialFolderLocation(CSIDL_DESKTOP), then SHGetPathFromIDListA into MAX_PATH
// bytes; the ANSI path is converted back from the code page, so characters it cannot represent
// are already lost.
ItemListLookup desktopFolderByItemList();

}  // namespace pellanor::platform
