// The clipboard and the folder dialog for the page scripts. Both run on the calling (UI) thread,
// never throw, and log under "NativeUtil"; without a desktop session they give their failure
// values. What needs the toolkit's GUI (the application's own clipboard, the toolkit's folder
// dialog) is installed by the program (ui/toolkit_dialogs.h), so that a tool without windows,
// pellanor-cli, neither links nor loads the GUI libraries.
#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace pellanor::ui {

// Puts `text` on the clipboard as Unicode text: the application's clipboard while a GUI
// application object runs on this thread (with the toolkit installed), otherwise the system's
// (see platform/clipboard.h). "" answers false.
bool copyToClipboard(const QString& text);

// Lets the user choose a folder in the system dialog (with its defaults; `title` and `path` are
// only logged) and blocks until it closes. Where the system has no dialog of its own, the
// toolkit's folder dialog is shown while a widget application runs. "" when cancelled, failed
// or impossible (no desktop).
QString selectFolder(const QString& title, const QString& path);

// What a GUI application adds. `clipboard` answers nothing when no application clipboard can be
// used on this thread, else whether the text was placed; `folderDialog` answers "" when no
// widget application runs on this thread or the user cancelled.
struct ToolkitDialogs {
    std::function<std::optional<bool>(const QString& text)> clipboard;
    std::function<QString()> folderDialog;
};

// Installs them for the rest of the process; called once at start, before any page runs.
void installToolkitDialogs(ToolkitDialogs dialogs);

}  // namespace pellanor::ui
