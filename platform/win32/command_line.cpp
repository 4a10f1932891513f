// Win32: CreateProcessW on the caller's command line, untouched; no console window, standard
// output read through a pipe, and the child kept in a job so that a timeout ends whatever it
// started as well (cmd.exe runs takeown, icacls and rd as children of its own).
#include "platform/command_line.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

using win32::ScopedHandle;

// Short enough that a child which exits is noticed at once, long enough not to spin.
constexpr DWORD kPollMs = 10;

// Inheritable, so that it can become one of the child's standard handles.
HANDLE openNullDevice(DWORD access) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
    return CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes,
                       OPEN_EXISTING, 0, nullptr);
}

// The child's three standard handles, and our end of its output pipe.
struct ChildStreams {
    ScopedHandle input{openNullDevice(GENERIC_READ)};
    ScopedHandle error{openNullDevice(GENERIC_WRITE)};
    std::optional<ScopedHandle> output;
    std::optional<ScopedHandle> outputPipe;

    bool open(ChildOutput mode) {
        if (mode == ChildOutput::Discard) {
            output.emplace(openNullDevice(GENERIC_WRITE));
        } else {
            HANDLE readEnd = nullptr;
            HANDLE writeEnd = nullptr;
            if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) return false;
            outputPipe.emplace(readEnd);
            output.emplace(writeEnd);
            // Only the child's end is inheritable: were ours to reach any child (a program
            // another thread starts at this moment), the pipe would never report its close.
            if (!SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
                return false;
            }
        }
        return input.valid() && error.valid() && output->valid();
    }
};

// Limits inheritance to the listed handles: a handle that another thread made inheritable at
// the same moment must not leak into this child.
class InheritedHandles final {
public:
    explicit InheritedHandles(std::vector<HANDLE> handles) : m_handles(std::move(handles)) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        m_buffer.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_buffer.data());
        if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
        m_list = list;
        m_valid =
            UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, m_handles.data(),
                                      m_handles.size() * sizeof(HANDLE), nullptr, nullptr) != FALSE;
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;
    ~InheritedHandles() {
        if (m_list != nullptr) DeleteProcThreadAttributeList(m_list);
    }
    bool valid() const { return m_valid; }
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return m_list; }

private:
    std::vector<HANDLE> m_handles;
    std::vector<char> m_buffer;
    LPPROC_THREAD_ATTRIBUTE_LIST m_list = nullptr;
    bool m_valid = false;
};

// Reads what the pipe holds now, without blocking; false once the child's side is closed.
bool drain(HANDLE pipe, std::string& output) {
    char buffer[4096];
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
        if (available == 0) return true;
        DWORD read = 0;
        const DWORD wanted = std::min<DWORD>(available, sizeof buffer);
        if (!ReadFile(pipe, buffer, wanted, &read, nullptr) || read == 0) return false;
        output.append(buffer, read);
    }
}

// Polls the child and its output until it ends or the deadline passes. A grandchild that keeps
// the pipe open after the child has ended must not keep us waiting, so the end of the child
// ends the reading, not the end of the pipe.
bool waitForChild(HANDLE process, HANDLE pipe, int timeoutMs, std::string& output) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeoutMs, 0));
    bool pipeOpen = pipe != nullptr;
    for (;;) {
        if (pipeOpen) pipeOpen = drain(pipe, output);
        DWORD slice = pipeOpen ? kPollMs : INFINITE;
        if (timeoutMs >= 0) {
            const ULONGLONG now = GetTickCount64();
            const ULONGLONG left = now < deadline ? deadline - now : 0;
            slice = static_cast<DWORD>(std::min<ULONGLONG>(slice, left));
        }
        if (WaitForSingleObject(process, slice) == WAIT_OBJECT_0) {
            if (pipeOpen) drain(pipe, output);
            return true;
        }
        if (timeoutMs >= 0 && GetTickCount64() >= deadline) return false;
    }
}

// A job of its own for the child. Joining one can fail where this process already sits in a
// job that forbids it (before Windows 8); the child is then ended alone.
bool joinJob(HANDLE job, HANDLE process) {
    return job != nullptr && AssignProcessToJobObject(job, process) != FALSE;
}

// cmd.exe looks for the tools it is told to run (takeown, icacls) in its current folder before
// PATH; started in the system folder, it finds the system's own there, not a file planted in
// this program's folder or wherever the program was started.
std::wstring systemFolder() {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(folder, length);
}

}  // namespace

std::vector<std::string> splitCommandLine(const std::string& commandLine) {
    std::vector<std::string> words;
    // Given an empty line, CommandLineToArgvW answers with this program's own path.
    if (commandLine.empty()) return words;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(win32::toWide(commandLine).c_str(), &count);
    if (argv == nullptr) return words;
    for (int i = 0; i < count; ++i) words.push_back(win32::toUtf8(argv[i]));
    LocalFree(argv);
    return words;
}

CommandLineRun runCommandLine(const std::string& commandLine, int timeoutMs, ChildOutput output) {
    CommandLineRun run;
    ChildStreams streams;
    if (!streams.open(output)) {
        run.errorCode = GetLastError();
        return run;
    }
    const InheritedHandles inherited(
        {streams.input.get(), streams.output->get(), streams.error.get()});
    if (!inherited.valid()) {
        run.errorCode = GetLastError();
        return run;
    }
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = streams.input.get();
    startup.StartupInfo.hStdOutput = streams.output->get();
    startup.StartupInfo.hStdError = streams.error.get();
    startup.lpAttributeList = inherited.get();

    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::wstring line = win32::toWide(commandLine);
    PROCESS_INFORMATION process{};
    const DWORD flags = CREATE_NO_WINDOW | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT;
    const std::wstring folder = systemFolder();
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo,
                        &process)) {
        run.errorCode = GetLastError();
        return run;
    }
    const ScopedHandle processHandle(process.hProcess);
    const ScopedHandle threadHandle(process.hThread);
    // Before it runs, so that nothing it starts escapes the job.
    const ScopedHandle job(CreateJobObjectW(nullptr, nullptr));
    const bool inJob = joinJob(job.get(), process.hProcess);
    ResumeThread(process.hThread);
    run.started = true;
    // Our copy of the child's end: the pipe closes when the child's copies do.
    streams.output.reset();

    HANDLE pipe = streams.outputPipe ? streams.outputPipe->get() : nullptr;
    run.finished = waitForChild(process.hProcess, pipe, timeoutMs, run.output);
    if (!run.finished) {
        if (!inJob || !TerminateJobObject(job.get(), 1)) TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
        return run;
    }
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process.hProcess, &exitCode)) run.exitCode = static_cast<int>(exitCode);
    return run;
}

}  // namespace pellanor::platform
