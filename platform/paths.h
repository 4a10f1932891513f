// Mapping of the Windows-shaped paths the program builds ("C:\Windows\Prefetch",
// "%TEMP%\x" after expansion) to paths of the host file system.
#pragma once

#include <cctype>
#include <string>

namespace pellanor::platform {

// On Windows the path is returned as it is.
//
// On POSIX backslashes become slashes, a "\\?\" long-path prefix is dropped, and a leading drive
// letter becomes that drive's root. Drive roots come from the variable PELLANOR_DRIVES, a list
// such as "C=/srv/c;D=/mnt/data"; without an entry C: is "/" and any other letter X: is
// "/mnt/x". A drive-relative "C:name" is taken as "C:\name". Does not touch the file system.
std::string localPath(const std::string& windowsPath);

// Whether Windows reads `path` without the process's current folder or current drive: a drive
// letter, a colon and a separator ("C:\x", "c:/"), or a network path "\\server\share" (either
// separator). "C:", "C:x", "\x", "x", "." and ".." all depend on where the process stands. The
// "\\?\" and "\\.\" namespaces are not folders a caller names and count as not absolute.
// Pure text; the same on both backends.
inline bool isWindowsAbsolutePath(const std::string& path) {
    const auto separator = [&](std::size_t i) {
        return i < path.size() && (path[i] == '\\' || path[i] == '/');
    };
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) != 0 &&
        path[1] == ':' && separator(2)) {
        return true;
    }
    if (!separator(0) || !separator(1)) return false;
    std::size_t end = 2;
    while (end < path.size() && !separator(end)) ++end;
    const std::string server = path.substr(2, end - 2);
    if (server.empty() || server == "?" || server == "." || !separator(end)) return false;
    return end + 1 < path.size() && !separator(end + 1);
}

// Whether `path` names the same folder wherever the process stands. Windows: exactly
// isWindowsAbsolutePath. POSIX: that, or an absolute host path ("/srv/x"); a lone backslash in
// front ("\x") is still Windows' current-drive form and is not absolute. Does not touch the
// file system.
bool isAbsolutePath(const std::string& path);

// The host path that an absolute `path` names, in the form the system itself resolves it to:
// "." and ".." components resolved (".." never climbs above the drive, share or root it starts
// from), repeated separators joined, no trailing separator except on a root. Windows uses
// native separators and, like its own calls, drops the trailing dots and spaces of each
// component ("C:\Windows." is "C:\Windows"); a device name ("C:\x\NUL") gives empty. POSIX
// then maps the result through localPath. Empty when `path` is not absolute (isAbsolutePath).
// Does not touch the file system.
std::string absoluteLocalPath(const std::string& path);

}  // namespace pellanor::platform
