// POSIX stand-in for the shell's desktop folder: the XDG desktop folder.
#include "platform/shell_folders.h"

#include "platform/posix/xdg_user_dirs.h"

namespace pellanor::platform {
namespace {

FolderLookup xdgDesktop() {
    const auto desktop = posix::userDir("XDG_DESKTOP_DIR", "Desktop");
    if (!desktop) return {kLookupFailed, {}};
    return {0, *desktop};
}

}  // namespace

FolderLookup desktopFolder() { return xdgDesktop(); }

ItemListLookup desktopFolderByItemList() {
    const FolderLookup lookup = xdgDesktop();
    return {lookup.resultCode, lookup.resultCode == 0, lookup.path};
}

}  // namespace pellanor::platform
