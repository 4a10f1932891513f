// Per-user folders that the system names.
#pragma once

#include <string>
#include <vector>

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

// The folders no cleaning may remove whole, nor any folder that holds one: the user's profile,
// Desktop, Documents, Downloads, Music, Pictures, Videos, roaming and local AppData, and the
// system's Windows, system, Program Files, ProgramData and Users folders. Without trailing
// separators; folders the system cannot tell are left out. Windows asks the shell for each known
// folder (the user may have moved them). POSIX answers $HOME, the XDG user folders (as
// documentsFolder finds Documents) and what %APPDATA%, %LOCALAPPDATA% and %PROGRAMDATA% expand
// to. Blocks briefly (POSIX reads the XDG file).
std::vector<std::string> protectedKnownFolders();

}  // namespace pellanor::platform
