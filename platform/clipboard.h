// The system clipboard, Unicode text only.
#pragma once

#include <optional>
#include <string>

namespace pellanor::platform {

// Replaces the clipboard's contents with `text` as Unicode text. Windows: the clipboard opened
// with no owner window; the memory is the system's once set and freed here otherwise. POSIX: the
// first desktop clipboard tool installed (wl-copy under Wayland, xclip or xsel under X11) is fed
// the text; false without a desktop session or a tool. Blocks until the tool has the text.
bool setClipboardText(const std::string& text);

// The Unicode text on the clipboard; nullopt when there is none or it cannot be read.
std::optional<std::string> clipboardText();

}  // namespace pellanor::platform
