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

// The folders that hold the user's own things, which no program may take as its own: the
// profile, Desktop, Documents, Downloads, Music, Pictures, Videos and the roaming and local
// application-data folders, in that order, each without a trailing separator; a folder the
// system cannot tell is left out. Windows asks the shell for each known folder (the user may
// have moved them). POSIX answers %USERPROFILE% ($HOME), the XDG user folders as documentsFolder
// finds them and, where set, the XDG_*_DIR variables as well, then %APPDATA% and %LOCALAPPDATA%
// (see environment.h). Blocks briefly (POSIX reads the XDG file).
std::vector<std::string> userFolders();

// The folders no cleaning may remove whole, nor any folder that holds one: userFolders, then
// the system's Windows, system, Program Files (both), ProgramData and Users folders (POSIX:
// what %PROGRAMDATA% expands to). Same form and blocking as userFolders.
std::vector<std::string> protectedKnownFolders();

}  // namespace pellanor::platform
