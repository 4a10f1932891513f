// Starting a program at the user's logon.
//
// Windows: a scheduled task run at logon with the highest privileges, managed with the system's
// "schtasks" tool, started by its full path in the system folder (systemToolPath), never
// searched for; false when that folder cannot be read. POSIX stand-in: an XDG autostart entry
// "<name>.desktop" in $XDG_CONFIG_HOME/autostart (an absolute value only), else in
// ~/.config/autostart. Task names are plain names: empty ones and ones holding a path separator
// or a quote are refused with false.
#pragma once

#include <string>

namespace pellanor::platform {

// Whether the task exists: "schtasks /query /tn <name>" ends with 0; on POSIX, the entry exists
// and is not marked Hidden. Blocks while the tool runs (at most a minute).
bool logonTaskExists(const std::string& name);

// Deletes the task ("schtasks /delete /tn <name> /f"; on POSIX the entry file, never anything
// else). True when the tool reported success or, on POSIX, no entry is left. Blocks.
bool deleteLogonTask(const std::string& name);

// Creates or replaces the task so that it starts `program` at logon ("schtasks /create /tn
// <name> /tr "<program>" /sc onlogon /rl highest /f"; on POSIX the entry, written atomically,
// whose Exec line runs `program` quoted by the desktop-entry rules). True when the tool ended
// with 0 or the entry was written. Blocks.
bool createLogonTask(const std::string& name, const std::string& program);

// The program a logon task starts: the file `baseName` with this system's executable suffix
// (".exe" on Windows, none on POSIX) in the running executable's folder when that file exists,
// else the running executable itself. Empty when the running executable's path is unknown or
// names no folder. Blocks briefly (one file check).
std::string logonProgram(const std::string& baseName);

}  // namespace pellanor::platform
