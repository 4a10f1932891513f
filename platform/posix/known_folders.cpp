// POSIX: the roaming folder is wherever %APPDATA% points, so tests and users can move it; the
// Documents folder is the XDG one, as Qt's Documents location finds it.
#include "platform/known_folders.h"

#include <utility>

#include "platform/environment.h"
#include "platform/posix/xdg_user_dirs.h"

namespace pellanor::platform {
namespace {

std::string withoutTrailingSlashes(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

// A variable the stand-in expands, or empty when it has no value.
std::string expandedFolder(const std::string& variable) {
    const std::string reference = "%" + variable + "%";
    const std::string folder = expandEnvironmentStrings(reference);
    return folder == reference ? std::string() : withoutTrailingSlashes(folder);
}

}  // namespace

std::string roamingAppDataFolder() { return expandedFolder("APPDATA"); }

std::string documentsFolder() {
    return posix::userDir("XDG_DOCUMENTS_DIR", "Documents").value_or("");
}

std::vector<std::string> userFolders() {
    std::vector<std::string> folders;
    const auto add = [&folders](const std::string& folder) {
        if (!folder.empty()) folders.push_back(folder);
    };
    add(expandedFolder("USERPROFILE"));
    const std::pair<const char*, const char*> kUserDirs[] = {
        {"XDG_DESKTOP_DIR", "Desktop"},    {"XDG_DOCUMENTS_DIR", "Documents"},
        {"XDG_DOWNLOAD_DIR", "Downloads"}, {"XDG_MUSIC_DIR", "Music"},
        {"XDG_PICTURES_DIR", "Pictures"},  {"XDG_VIDEOS_DIR", "Videos"},
    };
    // The file is what desktops read; a variable of that name is what a session may have
    // exported instead. Both are the user's, so both count.
    for (const auto& [key, fallback] : kUserDirs) {
        add(posix::userDir(key, fallback).value_or(""));
        const auto exported = posix::nonEmptyVariable(key);
        if (exported && exported->front() == '/') add(withoutTrailingSlashes(*exported));
    }
    add(roamingAppDataFolder());
    add(expandedFolder("LOCALAPPDATA"));
    return folders;
}

std::vector<std::string> protectedKnownFolders() {
    std::vector<std::string> folders = userFolders();
    // The stand-in has no Windows or Program Files folders of its own; drive-mapped spellings
    // of them are the caller's list.
    const std::string programData = expandedFolder("PROGRAMDATA");
    if (!programData.empty()) folders.push_back(programData);
    return folders;
}

}  // namespace pellanor::platform
