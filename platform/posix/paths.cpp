// POSIX stand-in for Windows paths: slashes, and drive letters mapped through PELLANOR_DRIVES.
#include "platform/paths.h"

#include <cctype>
#include <cstdlib>
#include <string_view>

namespace pellanor::platform {
namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool isDriveLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

// Entries look like "C=/srv/c"; they are separated by ';'. Malformed entries are ignored.
std::string configuredRoot(char drive) {
    const char* map = std::getenv("PELLANOR_DRIVES");
    if (map == nullptr) return {};
    std::string_view rest(map);
    while (!rest.empty()) {
        const auto end = rest.find(';');
        const std::string_view entry = rest.substr(0, end);
        if (entry.size() > 2 && entry[1] == '=' && lower(entry[0]) == lower(drive)) {
            return std::string(entry.substr(2));
        }
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return {};
}

std::string driveRoot(char drive) {
    std::string root = configuredRoot(drive);
    if (root.empty()) root = lower(drive) == 'c' ? "/" : std::string("/mnt/") + lower(drive);
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    return root;
}

}  // namespace

std::string localPath(const std::string& windowsPath) {
    std::string path = windowsPath;
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    if (path.rfind("//?/", 0) == 0) path.erase(0, 4);
    if (path.size() < 2 || path[1] != ':' || !isDriveLetter(path[0])) return path;

    std::string rest = path.substr(2);
    if (!rest.empty() && rest.front() != '/') rest.insert(rest.begin(), '/');
    const std::string root = driveRoot(path[0]);
    if (rest.empty()) return root;
    return root == "/" ? rest : root + rest;
}

}  // namespace pellanor::platform
