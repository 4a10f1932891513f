// Per-user folders that the system names.
#pragma once

#include <string>

namespace pellanor::platform {

// The user's roaming application-data folder, without a trailing separator; empty when the
// system cannot tell (callers choose their own fallback). Windows asks the shell for the known
// folder; POSIX answers what %APPDATA% expands to (see environment.h).
std::string roamingAppDataFolder();

}  // namespace pellanor::platform
