// Per-user folders that the system names.
#pragma once

#include <string>

namespace pellanor::platform {

// The user's roaming application-data folder, without a trailing separator; empty when the
// system cannot tell (callers choose their own fallback). Windows asks the shell for the known
// folder; POSIX answers what %APPDATA% expands to (see environment.h).
std::string roamingAppDataFolder();

// The user's Documents folder, without a trailing separator; empty when the system cannot tell.
// Windows asks the shell for the known folder (the user may have moved it). POSIX answers what
// Qt's Documents location does: XDG_DOCUMENTS_DIR from "$XDG_CONFIG_HOME/user-dirs.dirs"
// (default "$HOME/.config/user-dirs.dirs"), else "$HOME/Documents"; empty without $HOME. The
// folder is not created. Blocks briefly (POSIX reads the file).
std::string documentsFolder();

}  // namespace pellanor::platform
