// The two desktop facilities that need the toolkit's GUI while the program's windows run: the
// application's clipboard and the folder dialog. Both run on the calling (UI) thread, never
// throw, and log under "NativeUtil"; without a desktop session they give their failure values.
#pragma once

#include <QString>

namespace pellanor::ui {

// Puts `text` on the clipboard as Unicode text: the application's clipboard while a GUI
// application object runs on this thread, otherwise the system's (see platform/clipboard.h).
// "" answers false.
bool copyToClipboard(const QString& text);

// Lets the user choose a folder in the system dialog (with its defaults; `title` and `path` are
// only logged) and blocks until it closes. Where the system has no dialog of its own, the
// toolkit's folder dialog is shown while a widget application runs. "" when cancelled, failed
// or impossible (no desktop).
QString selectFolder(const QString& title, const QString& path);

}  // namespace pellanor::ui
