// POSIX stand-in for the clipboard: the desktop session's clipboard tool, where one is installed.
#include "platform/clipboard.h"

#include <cstdlib>
#include <vector>

#include "platform/posix/child_process.h"

namespace pellanor::platform {
namespace {

struct ClipboardTool {
    const char* name;
    std::vector<std::string> copy;
    std::vector<std::string> paste;
};

// Wayland's own tool first when the session is Wayland; xclip and xsel speak to X11 (and to
// XWayland).
std::optional<ClipboardTool> findTool() {
    if (!posix::hasDesktopSession()) return std::nullopt;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const std::vector<ClipboardTool> tools = {
        {"wl-copy", {"wl-copy"}, {"wl-paste", "--no-newline"}},
        {"xclip", {"xclip", "-selection", "clipboard"}, {"xclip", "-selection", "clipboard", "-o"}},
        {"xsel", {"xsel", "--clipboard", "--input"}, {"xsel", "--clipboard", "--output"}},
    };
    for (const ClipboardTool& tool : tools) {
        const bool waylandTool = std::string(tool.name) == "wl-copy";
        if (waylandTool && (wayland == nullptr || *wayland == '\0')) continue;
        if (posix::isInPath(tool.name)) return tool;
    }
    return std::nullopt;
}

}  // namespace

bool setClipboardText(const std::string& text) {
    const auto tool = findTool();
    return tool && posix::runTool(tool->copy, text, nullptr);
}

std::optional<std::string> clipboardText() {
    const auto tool = findTool();
    std::string text;
    if (!tool || !posix::runTool(tool->paste, std::nullopt, &text)) return std::nullopt;
    return text;
}

}  // namespace pellanor::platform
