// Win32: the scheduled task through schtasks. Its output is never read: only the exit code
// tells, as on every Windows version the tool's messages are translated.
#include "platform/logon_task.h"

#include <windows.h>

#include <vector>

#include "platform/command_line.h"
#include "platform/executable.h"
#include "platform/system_tools.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

// schtasks answers in well under a second; a minute means it hangs (a stuck task service), and
// the caller runs on the UI thread.
constexpr int kToolTimeoutMs = 60000;

bool plainName(const std::string& name) {
    return !name.empty() && name.find_first_of("\\/\"") == std::string::npos;
}

bool runSchtasks(std::vector<std::string> arguments) {
    const std::string program = systemToolPath("schtasks");
    if (program.empty()) return false;
    arguments.insert(arguments.begin(), program);
    const CommandLineRun run =
        runCommandLine(joinCommandLine(arguments), kToolTimeoutMs, ChildOutput::Discard);
    return run.finished && run.exitCode == 0;
}

}  // namespace

bool logonTaskExists(const std::string& name) {
    return plainName(name) && runSchtasks({"/query", "/tn", name});
}

bool deleteLogonTask(const std::string& name) {
    return plainName(name) && runSchtasks({"/delete", "/tn", name, "/f"});
}

// The quotes are part of the task's command: without them a folder with a blank would split
// the path into a program and its arguments.
bool createLogonTask(const std::string& name, const std::string& program) {
    if (!plainName(name) || program.empty()) return false;
    return runSchtasks({"/create", "/tn", name, "/tr", '"' + program + '"', "/sc", "onlogon", "/rl",
                        "highest", "/f"});
}

std::string logonProgram(const std::string& baseName) {
    const std::string running = executablePath();
    const std::size_t separator = running.find_last_of("\\/");
    if (separator == std::string::npos) return {};
    const std::string candidate = running.substr(0, separator + 1) + baseName + ".exe";
    const DWORD attributes = GetFileAttributesW(win32::toWide(candidate).c_str());
    const bool isFile =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    return isFile ? candidate : running;
}

}  // namespace pellanor::platform
