// Mapping of the Windows-shaped paths the program builds ("C:\Windows\Prefetch",
// "%TEMP%\x" after expansion) to paths of the host file system.
#pragma once

#include <string>

namespace pellanor::platform {

// On Windows the path is returned as it is.
//
// On POSIX backslashes become slashes, a "\\?\" long-path prefix is dropped, and a leading drive
// letter becomes that drive's root. Drive roots come from the variable PELLANOR_DRIVES, a list
// such as "C=/srv/c;D=/mnt/data"; without an entry C: is "/" and any other letter X: is
// "/mnt/x". A drive-relative "C:name" is taken as "C:\name". Does not touch the file system.
std::string localPath(const std::string& windowsPath);

}  // namespace pellanor::platform
