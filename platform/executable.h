// Facts about the running executable.
#pragma once

#include <string>

namespace pellanor::platform {

// Full path of the executable file of this process, UTF-8; empty if the system cannot tell.
std::string executablePath();

// File name of the executable module, "Pellanor.exe" on Windows; empty if the system cannot tell.
std::string executableBaseName();

// The command line this process was started with, UTF-8. Windows: GetCommandLineA, as the
// ANSI code page gives it (a character outside the code page reads as the system's stand-in,
// usually '?'). POSIX: the arguments of /proc/self/cmdline written back into one line by
// joinCommandLine, so that splitCommandLine gives the arguments again. Empty if the system
// cannot tell.
std::string processCommandLine();

}  // namespace pellanor::platform
