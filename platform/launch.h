// Starting a program that this process neither waits for nor tracks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellanor::platform {

struct LaunchRequest {
    std::string program;                 // the executable path, never searched for in PATH
    std::string commandLine;             // Windows: the whole command line, program first
    std::vector<std::string> arguments;  // POSIX: the arguments after the program
    std::string workDir;                 // empty: this process's current folder
};

struct LaunchResult {
    bool started = false;
    std::uint32_t errorCode = 0;  // the system's error code (GetLastError, errno) on failure
};

// Starts the program with this process's environment and no inherited handles (Windows:
// CreateProcessW, CREATE_UNICODE_ENVIRONMENT only; POSIX: posix_spawn, the program and the
// working folder mapped through localPath). The process and thread handles are closed at once;
// on POSIX a detached thread reaps the child so that it leaves no zombie. Blocks only while
// the process starts.
LaunchResult launchProcess(const LaunchRequest& request);

// Lets a program file this process wrote (a downloaded installer) be started by launchProcess,
// as it could be on Windows straight away. POSIX: maps `path` through localPath and adds execute
// permission wherever read permission is set (0644 becomes 0755, 0600 becomes 0700). Windows: a
// program runs by its name, so nothing changes. False when `path` is missing or not a regular
// file, or its permissions cannot be changed; `errorCode` (when given) then gets the system's
// error code. Blocks on the file system.
bool allowStarting(const std::string& path, std::uint32_t* errorCode = nullptr);

}  // namespace pellanor::platform
