// Win32: a batch file run by a hidden command interpreter.
#include "platform/self_delete.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {

std::string selfDeleteScriptFileName(std::uint32_t pid) {
    return "pellanor_uninstall_" + std::to_string(pid) + ".bat";
}

std::string selfDeleteScriptText(std::uint32_t pid) {
    return "@echo off\n"
           "setlocal\n"
           "cd /d \"%TEMP%\"\n"
           "set \"PID=" +
           std::to_string(pid) +
           "\"\n"
           "set \"TARGET=%~2\"\n"
           "\n"
           ":wait_loop\n"
           "ping 127.0.0.1 -n 2 >nul\n"
           "tasklist /FI \"PID eq %PID%\" 2>nul | find /I \"%PID%\" >nul\n"
           "if not errorlevel 1 goto wait_loop\n"
           "\n"
           "if exist \"%TARGET%\" rmdir /s /q \"%TARGET%\"\n"
           "del /f /q \"%~f0\"\n";
}

bool startSelfDeleteScript(const std::string& scriptPath, std::uint32_t pid,
                           const std::string& folder, const std::string& workingFolder) {
    std::wstring nativeFolder = win32::toWide(folder);
    for (wchar_t& c : nativeFolder) {
        if (c == L'/') c = L'\\';
    }
    // cmd.exe strips the outer pair of quotes of "/c" text, leaving each path quoted.
    const std::wstring parameters = L"/c \"\"" + win32::toWide(scriptPath) + L"\" " +
                                    std::to_wstring(pid) + L" \"" + nativeFolder + L"\"\"";
    const std::wstring directory = win32::toWide(workingFolder);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"open";
    info.lpFile = L"cmd.exe";
    info.lpParameters = parameters.c_str();
    info.lpDirectory = directory.c_str();
    info.nShow = SW_HIDE;
    const bool started = ShellExecuteExW(&info) != 0;
    const win32::ScopedHandle process(info.hProcess);
    return started;
}

}  // namespace pellanor::platform
