// Running a system tool from one exact command line and waiting for it: the way "cmd.exe /c"
// and "wmic" must be started, since re-quoting their arguments changes what they do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellanor::platform {

enum class ChildOutput {
    Discard,  // the child's standard output goes to the null device
    Capture,  // it is read through a pipe while the child runs
};

struct CommandLineRun {
    bool started = false;         // the program was found and its process created
    bool finished = false;        // it ended by itself within the time limit
    int exitCode = -1;            // valid when finished
    std::string output;           // standard output as the child wrote it (its code page)
    std::uint32_t errorCode = 0;  // the system's error code when it did not start
};

// Runs `commandLine` and waits at most `timeoutMs` (-1: no limit); a child still running then
// is killed together with the processes it started. The child's standard input reads end of
// file at once (a tool such as wmic waits for it), its standard error goes to the null device,
// and it inherits no other handle or descriptor of this process. Blocks the calling thread.
//
// Windows: CreateProcessW on the command line exactly as given (no quoting is added or
// removed; the program is the first word, looked up as CreateProcessW does: give system tools
// by their full path, see system_tools.h), no console window, the system folder as the child's
// current folder (so that "cmd.exe /c takeown" finds the system's takeown first).
//
// POSIX stand-in: the Windows system tools do not exist here, so the line is split into words
// by the rules a Windows program applies to its own command line (splitCommandLine) and the
// first word is looked up on PATH and executed with the others as its arguments. No shell ever
// sees the line: "$(...)" or ";" in a folder name stays text. A tool missing from PATH gives
// started == false and errorCode ENOENT; nothing else is run in its place.
CommandLineRun runCommandLine(const std::string& commandLine, int timeoutMs, ChildOutput output);

// The words a Windows program finds in `commandLine`: blanks separate words outside double
// quotes; 2n backslashes before a quote give n backslashes and the quote opens or closes
// quoting, 2n+1 give n backslashes and a literal quote; other backslashes are literal. The
// first word (the program) ends at the first blank, or at the closing quote when it starts with
// one, and knows no backslash escapes. Windows: CommandLineToArgvW. Does not block.
std::vector<std::string> splitCommandLine(const std::string& commandLine);

// The command line that splitCommandLine splits back into `words`: a word is quoted only when
// it is empty or holds a blank, tab or quote, and backslashes are doubled only where they stand
// before a quote. The first word (the program) is quoted only for an empty word or a blank, since
// it knows no escapes; a program name holding a quote cannot be written. Does not block.
std::string joinCommandLine(const std::vector<std::string>& words);

}  // namespace pellanor::platform
