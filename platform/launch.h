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

}  // namespace pellanor::platform
