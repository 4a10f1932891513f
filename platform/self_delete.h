// The script that removes the program's folder once this process has ended.
#pragma once

#include <cstdint>
#include <string>

namespace pellanor::platform {

// "pellanor_uninstall_<pid>.bat" on Windows, "pellanor_uninstall_<pid>.sh" on POSIX.
std::string selfDeleteScriptFileName(std::uint32_t pid);

// The script text with "\n" line ends, to be written in text mode (Windows turns them into
// CR LF). It takes the process id to wait for and the folder to remove as its two arguments,
// polls about once a second until that process is gone, removes the folder, then itself and
// the folder it was written to.
// Given a removal list as its third argument, it removes only what the list names instead of
// the folder, then the list: one entry a line, "F <path>" a file (never a folder of that
// name), "D <path>" a folder only when it is empty, in the list's order, each path absolute
// in the system's form. The list is UTF-8 and holds no '"', '%' or control characters.
std::string selfDeleteScriptText(std::uint32_t pid);

// Writes the script for `pid` as a new file in a new folder made inside `parentFolder` that only
// this user can enter (POSIX: mkdtemp, mode 0700; Windows: an access list that grants the user
// alone). Both are created exclusively and never through a link: a name that is taken gives a
// fresh folder name, never an overwrite. Returns the script's path ('/' after `parentFolder`),
// empty when either cannot be created or written (what was made is removed again). Blocks on the
// file system.
std::string writeSelfDeleteScript(const std::string& parentFolder, std::uint32_t pid);

// Starts the script hidden and detached, in `workingFolder`, with `pid` and `folder` as its
// arguments, and `removalList` as the third when not empty (Windows: "cmd.exe /c" with the
// paths quoted in native form). True when the interpreter was started; does not wait for it.
bool startSelfDeleteScript(const std::string& scriptPath, std::uint32_t pid,
                           const std::string& folder, const std::string& workingFolder,
                           const std::string& removalList = {});

}  // namespace pellanor::platform
