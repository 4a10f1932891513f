// The main window and the tray: which page windows they are, close-to-tray, the tray icon and
// its pop-up menu, the exit request, the messages between copies of the program and the
// main-window-ready signal. UI thread unless a function says otherwise; without the engine
// (pellanor-cli) every operation that needs a window gives its failure value.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/sdk/sciter_api.h"

namespace pellanor::ui {

class TinyWindow;

inline constexpr char kQuitMessageSuffix[] = "App_QuitThisAppMsg";
inline constexpr char kMainWindowReadySuffix[] = "_MainWindowReady";
inline constexpr char kMinimizeOnCloseKey[] = "minimizeOnClose";
inline constexpr char kTrayIconImage[] = "common/img/logo.png";  // item of the UI archive

// Registers the main page's window: its close hides it to the tray, it answers the
// show-main-window and quit messages, and it owns the timers of deferred calls. A window
// registered earlier loses that behaviour. Null clears the registration.
void registerMainWindow(const std::shared_ptr<TinyWindow>& window);

// Registers the tray page's window, which owns the tray icon and is its pop-up menu.
void registerTrayWindow(const std::shared_ptr<TinyWindow>& window);

// The registered main window as deferred calls see it. Any thread.
struct MainWindowState {
    bool registered = false;
    SciterWindow handle = 0;  // 0 once the window is gone
};
MainWindowState mainWindowState();

// Adds or refreshes the tray icon (the program's logo, tip "Pellanor"). False without a tray
// window, without the logo, or where the desktop shows no tray icons.
bool setTrayIcon();

// Closes the main window for real, which ends the program; only logs without one.
void exitApp();

// Asks every running copy of the program (this one included) to close its main window for
// real. Any thread; works without a window.
void notifyRunningInstanceQuit();

// Sets the main-window-ready event, which every process of this user can test, for the rest of
// this process's life. False when the event cannot be made. Any thread.
bool signalMainWindowReady();
// Whether any process has set it. Any thread.
bool isMainWindowReady();

// Whether closing the main window hides it to the tray (true until this is called); the choice
// is saved in the settings store. Always true.
bool setMinimizeOnClose(bool enabled);

// Where the tray pop-up of a given size opens for a cursor: its bottom edge two pixels above
// the cursor, centred on it, then pushed inside the work area (not moved when `area` is null).
struct Point {
    int x;
    int y;
};
Point trayMenuPosition(Point cursor, int width, int height, const SciterRect* area);

}  // namespace pellanor::ui
