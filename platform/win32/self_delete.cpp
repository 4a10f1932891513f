// Win32: a batch file run by a hidden command interpreter.
#include "platform/self_delete.h"

#include <windows.h>

#include <sddl.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "platform/system_tools.h"
#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

// Folder names tried before giving up: a clash is already unlikely with 32 random bits.
constexpr int kFolderAttempts = 64;

struct LocalDeleter {
    void operator()(void* p) const noexcept { LocalFree(p); }
};
using LocalMemory = std::unique_ptr<void, LocalDeleter>;

// An access list granting this process's user, and nobody else, full access to the folder and
// whatever is made in it; protected, so that nothing is inherited from the temporary folder.
LocalMemory privateDescriptor() {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return nullptr;
    const win32::ScopedHandle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        return nullptr;
    }
    wchar_t* rawSid = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &rawSid)) {
        return nullptr;
    }
    const LocalMemory sid(rawSid);
    const std::wstring sddl = L"D:P(A;OICI;FA;;;" + std::wstring(rawSid) + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return nullptr;
    }
    return LocalMemory(descriptor);
}

// CreateDirectoryW fails on any existing name, a planted junction included.
std::string makePrivateFolder(const std::string& parentFolder) {
    const LocalMemory descriptor = privateDescriptor();
    if (!descriptor) return {};
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    std::random_device random;
    for (int attempt = 0; attempt < kFolderAttempts; ++attempt) {
        char name[16];
        std::snprintf(name, sizeof name, "pellanor-%08x", static_cast<unsigned>(random()));
        const std::string folder = parentFolder + '/' + name;
        if (CreateDirectoryW(win32::toWide(folder).c_str(), &attributes)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

// Text mode's line ends, written by hand: the file is opened through the handle.
std::string withCrLf(const std::string& text) {
    std::string result;
    for (const char c : text) {
        if (c == '\n') result += '\r';
        result += c;
    }
    return result;
}

bool writeNewFile(const std::string& path, const std::string& text) {
    const win32::ScopedHandle file(CreateFileW(win32::toWide(path).c_str(), GENERIC_WRITE, 0,
                                               nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                               nullptr));
    if (!file.valid()) return false;
    DWORD written = 0;
    // A script cut short (a full disk) must not be started.
    return WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size() && FlushFileBuffers(file.get());
}

}  // namespace

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

// The script works from the system folder: cmd looks for ping, tasklist and find in its current
// folder before PATH, and the temporary folder may hold anything. Its own folder goes on the
// same line as the script itself, since cmd reads no further line from a deleted file.
std::string selfDeleteScriptText(std::uint32_t pid) {
    return "@echo off\n"
           "setlocal\n"
           "cd /d \"%SystemRoot%\\System32\"\n"
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
           "del /f /q \"%~f0\" & rmdir \"%~dp0\"\n";
}

// A shared temporary folder (C:\Temp, the system's own for a service) would let another user
// plant a link at the script's name or swap the script before it runs.
std::string writeSelfDeleteScript(const std::string& parentFolder, std::uint32_t pid) {
    const std::string folder = makePrivateFolder(parentFolder);
    if (folder.empty()) return {};
    const std::string script = folder + '/' + selfDeleteScriptFileName(pid);
    if (writeNewFile(script, withCrLf(selfDeleteScriptText(pid)))) return script;
    DeleteFileW(win32::toWide(script).c_str());
    RemoveDirectoryW(win32::toWide(folder).c_str());
    return {};
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
    const std::wstring program = win32::toWide(systemToolPath("cmd.exe"));
    if (program.empty()) return false;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"open";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = directory.c_str();
    info.nShow = SW_HIDE;
    const bool started = ShellExecuteExW(&info) != 0;
    const win32::ScopedHandle process(info.hProcess);
    return started;
}

}  // namespace pellanor::platform
