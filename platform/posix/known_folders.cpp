// POSIX: the roaming folder is wherever %APPDATA% points, so tests and users can move it; the
// Documents folder is the XDG one, as Qt's Documents location finds it.
#include "platform/known_folders.h"

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

}  // namespace pellanor::platform
