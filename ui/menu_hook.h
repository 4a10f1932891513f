// Closing pages' pop-up menus on a click elsewhere, and the desktop facts pages place them with:
// cursor position and monitor count. UI thread. Without the engine or a display (pellanor-cli)
// the hook cannot be installed and the facts read 0.
#pragma once

namespace pellanor::ui {

inline constexpr char kMenuOutsideClickEvent[] = "NATIVE_MENU_OUTSIDE_CLICK";

// Watches mouse presses until disabled: one outside the rectangle (screen pixels) posts the
// event "NATIVE_MENU_OUTSIDE_CLICK" to every page while a main window is registered; presses
// are never swallowed. Replaces an earlier rectangle and hook. False when the hook cannot be
// installed (logged).
bool enableMenuOutsideClickClose(int x, int y, int width, int height);
// Always true.
bool disableMenuOutsideClickClose();

int cursorX();
int cursorY();
int monitorCount();

}  // namespace pellanor::ui
