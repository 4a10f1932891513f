// Win32: a batch file run by a hidden command interpreter.
#include "platform/self_delete.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {

namespace {

std::wstring nativeForm(const std::string& path) {
    std::wstring native = win32::toWide(path);
    for (wchar_t& c : native) {
        if (c == L'/') c = L'\\';
    }
    return native;
}

}  // namespace

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
           "if not \"%~3\"==\"\" goto by_list\n"
           "if exist \"%TARGET%\" rmdir /s /q \"%TARGET%\"\n"
           "goto finish\n"
           "\n"
           ":by_list\n"
           "chcp 65001 >nul\n"
           "for /f \"usebackq eol=| tokens=1* delims= \" %%a in (\"%~3\") do (\n"
           "    if \"%%a\"==\"F\" if not exist \"%%b\\*\" del /f /q \"%%b\" 2>nul\n"
           "    if \"%%a\"==\"D\" rmdir \"%%b\" 2>nul\n"
           ")\n"
           "del /f /q \"%~3\"\n"
           "\n"
           ":finish\n"
           "del /f /q \"%~f0\"\n";
}

bool startSelfDeleteScript(const std::string& scriptPath, std::uint32_t pid,
                           const std::string& folder, const std::string& workingFolder,
                           const std::string& removalList) {
    const std::wstring list =
        removalList.empty() ? std::wstring() : L" \"" + nativeForm(removalList) + L"\"";
    // cmd.exe strips the outer pair of quotes of "/c" text, leaving each path quoted.
    const std::wstring parameters = L"/c \"\"" + win32::toWide(scriptPath) + L"\" " +
                                    std::to_wstring(pid) + L" \"" + nativeForm(folder) + L"\"" +
                                    list + L"\"";
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
