// Win32: the program's paths are already the system's own.
#include "platform/paths.h"

namespace pellanor::platform {

std::string localPath(const std::string& windowsPath) { return windowsPath; }

}  // namespace pellanor::platform
