// Facts about the running executable.
#pragma once

#include <string>

namespace pellanor::platform {

// Full path of the executable file of this process, UTF-8; empty if the system cannot tell.
std::string executablePath();

// File name of the executable module, "Pellanor.exe" on Windows; empty if the system cannot tell.
std::string executableBaseName();

}  // namespace pellanor::platform
