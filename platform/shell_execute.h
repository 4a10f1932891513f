// Starting a program the way the shell starts it when a user opens it: the uninstallers that
// installed programs register are started like this.
#pragma once

#include <string>

namespace pellanor::platform {

// Starts `program` with the parameter text `parameters` (empty: none), no working folder and a
// normal window, and does not wait for it. Windows: ShellExecuteW with the verb "open"; true
// when the shell answers above 32 (it may search for the program and may block while it
// resolves it or shows its own error box). POSIX stand-in: the program path goes through
// localPath and is never searched for; the parameters are split into words by the rules a
// Windows program applies to its command line (splitCommandLine); true when the process started.
bool shellExecute(const std::string& program, const std::string& parameters);

}  // namespace pellanor::platform
