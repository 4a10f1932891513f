// The XDG user folders (Desktop, Documents, ...) as xdg-user-dirs records them, shared by the
// stand-ins of the shell folders and the known folders.
#pragma once

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

namespace pellanor::platform::posix {

inline std::optional<std::string> nonEmptyVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

// The folder `key` (for example "XDG_DESKTOP_DIR") from "$XDG_CONFIG_HOME/user-dirs.dirs"
// (default "$HOME/.config/user-dirs.dirs"), without a trailing slash. The file holds shell-style
// lines such as XDG_DESKTOP_DIR="$HOME/Schreibtisch"; only the "$HOME/..." and absolute forms
// are valid there, so nothing else is expanded and anything else counts as not configured.
inline std::optional<std::string> configuredUserDir(const std::string& key,
                                                    const std::string& home) {
    const auto config = nonEmptyVariable("XDG_CONFIG_HOME");
    std::ifstream file((config ? *config : home + "/.config") + "/user-dirs.dirs");
    const std::string prefix = key + "=\"";
    std::string line;
    while (std::getline(file, line)) {
        if (line.rfind(prefix, 0) != 0 || line.size() < prefix.size() + 1 || line.back() != '"') {
            continue;
        }
        std::string value = line.substr(prefix.size(), line.size() - prefix.size() - 1);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        if (value.empty() || value.front() != '/') return std::nullopt;
        while (value.size() > 1 && value.back() == '/') value.pop_back();
        return value;
    }
    return std::nullopt;
}

// The configured folder, else "$HOME/<fallback>"; nullopt without $HOME.
inline std::optional<std::string> userDir(const std::string& key, const char* fallback) {
    const auto home = nonEmptyVariable("HOME");
    if (!home) return std::nullopt;
    const auto configured = configuredUserDir(key, *home);
    return configured ? *configured : *home + "/" + fallback;
}

}  // namespace pellanor::platform::posix
