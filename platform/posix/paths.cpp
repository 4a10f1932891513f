// POSIX stand-in for Windows paths: slashes, and drive letters mapped through PELLANOR_DRIVES.
#include "platform/paths.h"

#include <cctype>
#include <cstdlib>
#include <string_view>
#include <vector>

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

// Where the part that "." and ".." may not climb above ends: after "C:", after
// "//server/share", or at the very start of a host path.
std::size_t rootLength(const std::string& slashed) {
    if (slashed.front() != '/') return 2;
    if (slashed.size() < 2 || slashed[1] != '/' || !isWindowsAbsolutePath(slashed)) return 0;
    const auto server = slashed.find('/', 2);
    const auto share = slashed.find('/', server + 1);
    return share == std::string::npos ? slashed.size() : share;
}

std::string withoutDots(const std::string& rest) {
    std::vector<std::string_view> parts;
    std::string_view text(rest);
    while (!text.empty()) {
        const auto end = text.find('/');
        const std::string_view part = text.substr(0, end);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    std::string joined;
    for (const std::string_view part : parts) joined.append("/").append(part);
    return joined;
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

bool isAbsolutePath(const std::string& path) {
    return (!path.empty() && path.front() == '/') || isWindowsAbsolutePath(path);
}

// Resolved before the drive is mapped, so that "C:\.." stays on drive C however deep its root
// lies in the host tree.
std::string absoluteLocalPath(const std::string& path) {
    if (!isAbsolutePath(path)) return {};
    std::string slashed = path;
    for (char& c : slashed) {
        if (c == '\\') c = '/';
    }
    const std::size_t root = rootLength(slashed);
    const std::string rest = withoutDots(slashed.substr(root));
    if (root == 0) return rest.empty() ? "/" : rest;
    return localPath(slashed.substr(0, root) + rest);
}

}  // namespace pellanor::platform
