// The toolkit's side of the clipboard and the folder dialog (ui/desktop_dialogs.h), for the
// program, which runs a widget application; linking it brings in Qt's GUI libraries.
#pragma once

namespace pellanor::ui {

// Installs the application's clipboard and the toolkit's folder dialog. Once, at start.
void installToolkitDialogsOfThisApplication();

}  // namespace pellanor::ui
