// Shortcut files: the shell's .lnk on Windows, a freedesktop launcher on POSIX.
#pragma once

#include <optional>
#include <string>

namespace pellanor::platform {

struct ShellLink {
    std::string target;     // the program the shortcut starts
    std::string arguments;  // its extra command line, as one text
    std::string workDir;    // empty: none set
    std::string iconPath;
    int iconIndex = 0;
};

// Writes the shortcut `link` to `linkPath`, replacing a file of that name. Blocks (COM, disk).
// Windows: a shell link object (IShellLinkW) saved through IPersistFile without becoming the
// object's current file; false if COM, the object or the save fails. POSIX: a launcher
// ("[Desktop Entry]", Exec, Path, Icon) at localPath(linkPath) with a ".lnk" ending changed to
// ".desktop", marked executable, replaced atomically.
bool saveShellLink(const std::string& linkPath, const ShellLink& link);

// Reads back what saveShellLink wrote (same path rules); nullopt if it cannot be read.
std::optional<ShellLink> readShellLink(const std::string& linkPath);

}  // namespace pellanor::platform
