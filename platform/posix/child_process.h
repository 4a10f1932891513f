// Child processes for the POSIX shell stand-ins (xdg-open, clipboard tools, launched programs).
// Defined in launch.cpp; used only inside the POSIX backend.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace pellanor::platform::posix {

struct ChildSetup {
    std::string program;            // a path, or a bare name when searchPath is set
    std::vector<std::string> argv;  // argv[0] first
    std::string workDir;            // empty: the current folder
    bool searchPath = false;
    bool quiet = false;  // standard output and error go to /dev/null
    int stdinFd = -1;    // becomes the child's standard input when set
    int stdoutFd = -1;   // becomes the child's standard output when set
};

// Starts the child with this process's environment; descriptors above 2 are closed in it.
// Returns 0 and sets `pid`, or the errno of the failure (exec failures included).
int spawnChild(const ChildSetup& setup, pid_t* pid);

// Waits for the child on a detached thread, so that a child nobody waits for leaves no zombie.
void reapDetached(pid_t pid);

// Runs a tool to its end, feeding it `input` if given and collecting its standard output if
// `output` is given. True when it exited with status 0. Blocks until the tool ends.
bool runTool(const std::vector<std::string>& argv, const std::optional<std::string>& input,
             std::string* output);

// True when DISPLAY or WAYLAND_DISPLAY names a desktop session.
bool hasDesktopSession();

// True when an executable of that name is found in PATH.
bool isInPath(const std::string& name);

}  // namespace pellanor::platform::posix
