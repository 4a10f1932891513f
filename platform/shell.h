// The desktop shell: the file manager, opening documents and URLs, the folder dialog, and the
// ANSI code page that the older shell entry points speak.
#pragma once

#include <string>

namespace pellanor::platform {

// Starts the file manager on `folder` (native separators) and does not wait for it. Windows
// starts "explorer.exe" from the Windows folder (never found by search) with the folder as its
// single argument; POSIX starts "xdg-open" on it.
// Returns whether the process started; POSIX answers false without a desktop session (neither
// DISPLAY nor WAYLAND_DISPLAY set) or without xdg-open. Blocks only while the process starts.
bool openInFileManager(const std::string& folder);

// Asks the shell to open a document or URL with its default handler. Windows: the verb "open"
// through ShellExecuteW, true when the shell accepts it (a result above 32), which may block
// while the shell resolves the handler. POSIX: true when "xdg-open" started, false without a
// desktop session or without xdg-open.
bool openWithShell(const std::string& target);

// Unavailable: the system has no folder dialog of its own. Failed: it has one, and a step of
// showing it or reading the choice failed.
enum class FolderPickOutcome { Chosen, Cancelled, Failed, Unavailable };

struct FolderPick {
    FolderPickOutcome outcome = FolderPickOutcome::Unavailable;
    std::string path;  // set when Chosen
};

// Shows the system's folder dialog with its defaults, no owner window, and blocks the calling
// thread until it closes. Windows: the file-open dialog with the pick-folders option; the chosen
// path passes through the ANSI code page (see throughAnsiCodePage). A failing step is
// Failed. POSIX has no system dialog without a window toolkit: always Unavailable.
FolderPick pickFolder();

// The text converted to the ANSI code page and back, as the ANSI shell routines see it. Windows
// replaces characters that the code page cannot represent (with '?'); POSIX returns the text
// unchanged. Does not block.
std::string throughAnsiCodePage(const std::string& text);

}  // namespace pellanor::platform
