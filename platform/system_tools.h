// Where the system's own tools are. A tool started by its bare name is searched for in this
// program's folder and the current folder before the system's, so a file of that name planted
// there (by a download beside the installer, or in a shared working folder) would run instead.
#pragma once

#include <string>

namespace pellanor::platform {

// The full path of the system tool `name` ("cmd.exe", "wmic", "schtasks", "powercfg.exe",
// "explorer.exe"), never searched for in the program's or the current folder. Empty for a name
// that holds a separator or is empty.
//
// Windows: ".exe" is added when the name has no extension; explorer.exe is in the Windows folder
// (GetWindowsDirectoryW), wmic.exe in the system folder's "wbem", every other tool in the system
// folder (GetSystemDirectoryW). The file need not exist; empty when the folder cannot be read.
// Does not block.
//
// POSIX stand-in (the Windows tools do not exist here, and tests put stand-ins of them first on
// PATH): the first regular, executable file of exactly that name in the absolute folders of
// PATH, the host's list of trusted program folders. Empty and relative entries, which mean the
// current folder, are skipped. Empty when there is none. Blocks briefly on the file system.
std::string systemToolPath(const std::string& name);

// `commandLine` with its first word, a system tool's bare name, replaced by systemToolPath of it
// (quoted when it holds a blank); the rest stays exactly as written. Empty when the tool is not
// found or the first word is empty, quoted or holds a separator. Blocks as systemToolPath does.
std::string systemToolCommandLine(const std::string& commandLine);

}  // namespace pellanor::platform
