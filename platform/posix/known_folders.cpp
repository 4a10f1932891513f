// POSIX: the roaming folder is wherever %APPDATA% points, so tests and users can move it; the
// Documents folder is the XDG one, as Qt's Documents location finds it.
#include "platform/known_folders.h"

#include <utility>

#include "platform/environment.h"
#include "platform/posix/xdg_user_dirs.h"

namespace pellanor::platform {

std::string roamingAppDataFolder() {
    std::string folder = expandEnvironmentStrings("%APPDATA%");
    if (folder == "%APPDATA%") return {};
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string documentsFolder() {
    return posix::userDir("XDG_DOCUMENTS_DIR", "Documents").value_or("");
}

std::vector<std::string> protectedKnownFolders() {
    std::vector<std::string> folders;
    const auto add = [&folders](std::string folder) {
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        if (!folder.empty() && folder.front() == '/') folders.push_back(std::move(folder));
    };
    if (const auto home = posix::nonEmptyVariable("HOME")) add(*home);
    const std::pair<const char*, const char*> userDirs[] = {
        {"XDG_DESKTOP_DIR", "Desktop"},    {"XDG_DOCUMENTS_DIR", "Documents"},
        {"XDG_DOWNLOAD_DIR", "Downloads"}, {"XDG_MUSIC_DIR", "Music"},
        {"XDG_PICTURES_DIR", "Pictures"},  {"XDG_VIDEOS_DIR", "Videos"},
    };
    for (const auto& [key, fallback] : userDirs) add(posix::userDir(key, fallback).value_or(""));
    // An unset variable stays as written, which is not absolute and so left out.
    for (const char* variable : {"%APPDATA%", "%LOCALAPPDATA%", "%PROGRAMDATA%"}) {
        add(expandEnvironmentStrings(variable));
    }
    return folders;
}

}  // namespace pellanor::platform
