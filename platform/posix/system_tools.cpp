// POSIX stand-in for the system tools' folders: PATH's absolute folders, which is where the host
// keeps the programs it trusts, and where the tests put their stand-ins.
#include "platform/system_tools.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace pellanor::platform {

std::string systemToolPath(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        return {};
    }
    const char* path = std::getenv("PATH");
    std::string_view rest(path == nullptr ? "" : path);
    while (!rest.empty()) {
        const auto end = rest.find(':');
        const std::string_view folder = rest.substr(0, end);
        if (!folder.empty() && folder.front() == '/') {
            const std::string candidate = std::string(folder) + '/' + name;
            struct stat info {};
            if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                ::access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return {};
}

}  // namespace pellanor::platform
