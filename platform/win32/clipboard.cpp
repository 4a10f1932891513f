// Win32: the clipboard as CF_UNICODETEXT.
#include "platform/clipboard.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/shell_owners.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {

bool setClipboardText(const std::string& text) {
    const std::wstring wide = win32::toWide(text);
    const SIZE_T bytes = (wide.size() + 1) * sizeof(wchar_t);
    win32::GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (memory.get() == nullptr) return false;
    void* target = GlobalLock(memory.get());
    if (target == nullptr) return false;
    std::memcpy(target, wide.c_str(), bytes);
    GlobalUnlock(memory.get());

    const win32::OpenClipboardScope clipboard;
    if (!clipboard.isOpen()) return false;
    EmptyClipboard();
    if (SetClipboardData(CF_UNICODETEXT, memory.get()) == nullptr) return false;
    memory.release();  // the system owns it now
    return true;
}

std::optional<std::string> clipboardText() {
    const win32::OpenClipboardScope clipboard;
    if (!clipboard.isOpen()) return std::nullopt;
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (data == nullptr) return std::nullopt;
    const auto* units = static_cast<const wchar_t*>(GlobalLock(data));
    if (units == nullptr) return std::nullopt;
    // The memory block may be larger than the text; the text ends at its zero.
    const std::size_t capacity = GlobalSize(data) / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < capacity && units[length] != L'\0') ++length;
    std::string text = win32::toUtf8(std::wstring_view(units, length));
    GlobalUnlock(data);
    return text;
}

}  // namespace pellanor::platform
