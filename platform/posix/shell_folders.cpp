// POSIX stand-in for the shell's desktop folder: the XDG desktop folder.
#include "platform/shell_folders.h"

#include <cstdlib>
#include <fstream>
#include <optional>

namespace pellanor::platform {
namespace {

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

// user-dirs.dirs holds shell-style lines such as XDG_DESKTOP_DIR="$HOME/Schreibtisch"; only
// the "$HOME/..." and absolute forms are valid there, so nothing else is expanded.
std::optional<std::string> configuredDesktop(const std::string& home) {
    const auto config = variable("XDG_CONFIG_HOME");
    std::ifstream file((config ? *config : home + "/.config") + "/user-dirs.dirs");
    const std::string key = "XDG_DESKTOP_DIR=\"";
    std::string line;
    while (std::getline(file, line)) {
        if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        if (value.empty() || value.front() != '/') return std::nullopt;
        while (value.size() > 1 && value.back() == '/') value.pop_back();
        return value;
    }
    return std::nullopt;
}

FolderLookup xdgDesktop() {
    const auto home = variable("HOME");
    if (!home) return {kLookupFailed, {}};
    const auto configured = configuredDesktop(*home);
    return {0, configured ? *configured : *home + "/Desktop"};
}

}  // namespace

FolderLookup desktopFolder() { return xdgDesktop(); }

ItemListLookup desktopFolderByItemList() {
    const FolderLookup lookup = xdgDesktop();
    return {lookup.resultCode, lookup.resultCode == 0, lookup.path};
}

}  // namespace pellanor::platform
