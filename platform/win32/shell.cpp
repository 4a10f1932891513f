// Win32: explorer.exe, ShellExecuteW, the file-open dialog in folder mode, the ANSI code page.
#include "platform/shell.h"

#include <windows.h>

#include <shellapi.h>
#include <shobjidl.h>

#include "platform/system_tools.h"
#include "platform/win32/handle.h"
#include "platform/win32/shell_owners.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

// The quoting the C runtime undoes: a quoted argument keeps its inner quotes behind
// backslashes, and backslashes before a quote (or the closing quote) are doubled.
std::wstring quotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
        } else {
            if (c == L'"') quoted.append(backslashes + 1, L'\\');
            backslashes = 0;
        }
        quoted += c;
    }
    quoted.append(backslashes, L'\\');
    return quoted + L'"';
}

std::wstring wideThroughCodePage(const std::wstring& text) {
    if (text.empty()) return text;
    const int length = static_cast<int>(text.size());
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string ansi(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), length, ansi.data(), bytes, nullptr, nullptr);
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, nullptr, 0);
    if (units <= 0) return {};
    std::wstring back(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, back.data(), units);
    return back;
}

FolderPick failed() { return {FolderPickOutcome::Failed, {}}; }

FolderPick chosenFolder(IFileDialog* dialog) {
    win32::ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(item.putTyped()))) return failed();
    wchar_t* raw = nullptr;
    const HRESULT named = item->GetDisplayName(SIGDN_FILESYSPATH, &raw);
    const win32::CoTaskMemory<wchar_t> path(raw);
    if (FAILED(named) || !path) return failed();
    return {FolderPickOutcome::Chosen, win32::toUtf8(wideThroughCodePage(path.get()))};
}

}  // namespace

bool openInFileManager(const std::string& folder) {
    const std::wstring program = win32::toWide(systemToolPath("explorer.exe"));
    if (program.empty()) return false;
    std::wstring commandLine = L"explorer.exe " + quotedArgument(win32::toWide(folder));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return false;
    }
    const win32::ScopedHandle processHandle(process.hProcess);
    const win32::ScopedHandle threadHandle(process.hThread);
    return true;
}

bool openWithShell(const std::string& target) {
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", win32::toWide(target).c_str(), nullptr,
                                           nullptr, SW_SHOWNORMAL);
    // The result is an error code squeezed into a handle type; above 32 means success.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

FolderPick pickFolder() {
    // COM may already be up in another mode on this thread; the dialog works in either.
    const win32::ComApartment com;
    win32::ComPtr<IFileDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileDialog, dialog.put()))) {
        return failed();
    }
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog->GetOptions(&options)) ||
        FAILED(dialog->SetOptions(options | FOS_PICKFOLDERS))) {
        return failed();
    }
    const HRESULT shown = dialog->Show(nullptr);
    if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return {FolderPickOutcome::Cancelled, {}};
    if (FAILED(shown)) return failed();
    return chosenFolder(dialog.get());
}

std::string throughAnsiCodePage(const std::string& text) {
    return win32::toUtf8(wideThroughCodePage(win32::toWide(text)));
}

}  // namespace pellanor::platform
