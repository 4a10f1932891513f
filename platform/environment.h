// The process environment and the system's %NAME% expansion.
//
// Windows expands with the system call. The POSIX stand-in reads the process environment and,
// for Windows variables the host does not define, uses these defaults:
//
//   name          default on POSIX
//   TEMP, TMP     $TMPDIR, else /tmp
//   LOCALAPPDATA  $XDG_DATA_HOME, else $HOME/.local/share
//   APPDATA       $XDG_CONFIG_HOME, else $HOME/.config
//   USERPROFILE   $HOME
//   PROGRAMDATA   /var/lib
//   PROGRAMFILES  /opt
//   COMPUTERNAME  the host name in upper case
//   USERNAME      the login name of the effective user
//
// A default that cannot be formed (no $HOME, say) leaves the variable undefined. Names match
// without regard to case, as on Windows; an exact match in the environment wins.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace pellanor::platform {

// Size, in UTF-16 units including the terminating zero, of the buffer the expansion writes into.
inline constexpr std::size_t kExpansionBufferUnits = 1040;

// Expands every %NAME% reference whose variable is defined; references to undefined variables
// stay as written. Returns `text` unchanged when the expansion fails or when the result and its
// terminating zero would not fit in kExpansionBufferUnits UTF-16 units. Does not block.
std::string expandEnvironmentStrings(const std::string& text);

// The value of one variable of the process environment (no defaults applied); nullopt if unset.
std::optional<std::string> environmentVariable(const std::string& name);

// Sets or removes a variable of this process's environment. Returns false on failure.
bool setEnvironmentVariable(const std::string& name, const std::string& value);
bool unsetEnvironmentVariable(const std::string& name);

}  // namespace pellanor::platform
