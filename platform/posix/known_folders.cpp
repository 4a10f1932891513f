// POSIX: the roaming folder is wherever %APPDATA% points, so tests and users can move it.
#include "platform/known_folders.h"

#include "platform/environment.h"

namespace pellanor::platform {

std::string roamingAppDataFolder() {
    std::string folder = expandEnvironmentStrings("%APPDATA%");
    if (folder == "%APPDATA%") return {};
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

}  // namespace pellanor::platform
