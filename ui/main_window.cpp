// The main window's hook, the tray icon and its menu, and the requests that end the program.
// Hooks and flags live on the UI thread; only the main window's registration is read by other
// threads (deferred calls), so it alone sits under a lock.
#include "ui/main_window.h"

#include <QString>

#include <mutex>
#include <string>

#include "engine/sdk/sciter_value.h"
#include "log/logger.h"
#include "platform/named_event.h"
#include "platform/window_messages.h"
#include "product/product.h"
#include "system/settings_store.h"
#include "system/single_instance.h"
#include "ui/page_resources.h"
#include "ui/tiny_window.h"

namespace pellanor::ui {

namespace {

constexpr char kTag[] = "NativeUtil";
constexpr char kHookTag[] = "MainWindowSubclass";
constexpr std::uintptr_t kTrayHookId = 1;
constexpr std::uintptr_t kMainWindowHookId = 2;
constexpr int kTrayMenuGap = 2;  // pixels between the menu's bottom edge and the cursor

struct MainWindow {
    std::mutex lock;
    std::shared_ptr<TinyWindow> window;
    SciterWindow hooked = 0;
};

MainWindow& mainWindow() {
    static auto* state = new MainWindow;  // read by deferred calls until the process ends
    return *state;
}

struct Tray {
    std::shared_ptr<TinyWindow> window;
    bool iconAdded = false;
};

Tray& tray() {
    static auto* state = new Tray;
    return *state;
}

bool g_closeToTray = true;
bool g_quitting = false;

std::string objectName(const char* suffix) { return std::string(product::kName) + suffix; }

// The engine's ids of the messages other copies broadcast; the program's listener hands each
// broadcast to the windows under the engine id of its name.
std::uint32_t engineMessage(const char* suffix) {
    return sciter::api()->SciterRegisterMessage(objectName(suffix).c_str());
}

bool trayIconShown();

// Hidden without a tray icon, the window could only come back through a second start of the
// program; minimised, it stays in reach.
void hideToTray(SciterWindow window, const char* what) {
    logging::info(kHookTag, "{} intercepted, minimize to tray", what);
    if (trayIconShown()) {
        sciter::api()->SciterShowWindow(window, kShowHide);
        return;
    }
    logging::info(kHookTag, "no tray icon to come back from, minimized instead");
    sciter::api()->SciterShowWindow(window, kShowMinimize);
}

std::intptr_t onCloseRequest(SciterWindow window, std::uint32_t message, std::uintptr_t wparam,
                             std::intptr_t lparam) {
    const SciterApi* api = sciter::api();
    if (message == kMessageClose) {
        if (g_quitting) {
            g_quitting = false;
            logging::info(kHookTag, "WM_CLOSE allowed for app quit");
            return api->SciterHookPassOn(window, message, wparam, lparam);
        }
        if (!g_closeToTray) return api->SciterHookPassOn(window, message, wparam, lparam);
        hideToTray(window, "WM_CLOSE");
        return 0;
    }
    if (!g_closeToTray) return api->SciterHookPassOn(window, message, wparam, lparam);
    hideToTray(window, "SC_CLOSE");
    return 0;
}

std::intptr_t mainWindowHook(SciterWindow window, std::uint32_t message, std::uintptr_t wparam,
                             std::intptr_t lparam, std::uintptr_t, void*) {
    const SciterApi* api = sciter::api();
    if (message == engineMessage(system::kShowMainWindowMessageSuffix)) {
        api->SciterShowWindow(window, api->SciterIsMinimized(window) ? kShowRestore : kShowShow);
        api->SciterSetForeground(window);
        return 0;
    }
    if (message == engineMessage(kQuitMessageSuffix)) {
        logging::logger().info("ON msg WM_CLOSE_THIS_APP");
        g_quitting = true;
        api->SciterPostMessage(window, kMessageClose, 0, 0);
        return 0;
    }
    if (message == kMessageClose ||
        (message == kMessageSysCommand && (wparam & ~std::uintptr_t{0xF}) == kSysCommandClose)) {
        return onCloseRequest(window, message, wparam, lparam);
    }
    if (message == kMessageDestroy) {
        api->SciterHookRemove(window, &mainWindowHook, kMainWindowHookId);
        std::lock_guard<std::mutex> guard(mainWindow().lock);
        if (mainWindow().hooked == window) mainWindow().hooked = 0;
    }
    return api->SciterHookPassOn(window, message, wparam, lparam);
}

// --- tray -----------------------------------------------------------------------------------

SciterWindow trayHandle() { return tray().window ? tray().window->handle() : 0; }

bool trayIconShown() { return tray().iconAdded && sciter::api()->SciterIsWindow(trayHandle()); }

void hideTrayMenu(SciterWindow menu) {
    sciter::api()->SciterPlaceWindow(menu, kZOrderNotTopMost, false, 0, 0, kShowHide, false);
}

void showTrayMenu(SciterWindow menu) {
    const SciterApi* api = sciter::api();
    SciterRect frame{};
    Point cursor{0, 0};
    api->SciterWindowRect(menu, &frame);
    api->SciterCursorPosition(&cursor.x, &cursor.y);
    SciterRect area{};
    const bool known = api->SciterMonitorWorkArea(cursor.x, cursor.y, &area);
    const Point at = trayMenuPosition(cursor, frame.right - frame.left, frame.bottom - frame.top,
                                      known ? &area : nullptr);
    api->SciterPlaceWindow(menu, kZOrderTopMost, true, at.x, at.y, kShowShow, true);
    api->SciterSetForeground(menu);
}

void onTrayClick(SciterWindow, std::uint32_t button, void*) {
    const SciterApi* api = sciter::api();
    const SciterWindow menu = trayHandle();
    if (!tray().iconAdded || !api->SciterIsWindow(menu)) return;
    if (button == kMouseLeft) {
        const SciterWindow main = mainWindowState().handle;
        if (api->SciterIsWindow(main)) {
            api->SciterShowWindow(main, kShowShow);
            api->SciterSetForeground(main);
        }
        if (api->SciterIsVisible(menu)) hideTrayMenu(menu);
    } else if (button == kMouseRight) {
        api->SciterIsVisible(menu) ? hideTrayMenu(menu) : showTrayMenu(menu);
    }
}

std::intptr_t trayWindowHook(SciterWindow window, std::uint32_t message, std::uintptr_t wparam,
                             std::intptr_t lparam, std::uintptr_t, void*) {
    const SciterApi* api = sciter::api();
    if (message == kMessageDestroy) {
        if (tray().iconAdded && window == trayHandle()) {
            api->SciterTrayIconRemove(window);
            tray().iconAdded = false;
        }
        api->SciterHookRemove(window, &trayWindowHook, kTrayHookId);
    }
    return api->SciterHookPassOn(window, message, wparam, lparam);
}

bool logoImage(const std::uint8_t** data, std::size_t* length) {
    const std::uintptr_t archive = uiArchive();
    return archive != 0 &&
           sciter::api()->SciterGetArchiveItem(
               archive, QString::fromLatin1(kTrayIconImage).toStdU16String().c_str(), data,
               length) &&
           *length > 0;
}

}  // namespace

void registerMainWindow(const std::shared_ptr<TinyWindow>& window) {
    MainWindow& main = mainWindow();
    std::lock_guard<std::mutex> guard(main.lock);
    // A main page opened again replaces the old one; left hooked, the old window would keep
    // hiding itself on close with nothing left to bring it back.
    if (main.hooked != 0 && (!window || window->handle() != main.hooked)) {
        sciter::api()->SciterHookRemove(main.hooked, &mainWindowHook, kMainWindowHookId);
        main.hooked = 0;
    }
    main.window = window;
    if (window && window->handle() != 0 && main.hooked == 0) {
        sciter::api()->SciterHookAdd(window->handle(), &mainWindowHook, kMainWindowHookId, nullptr);
        main.hooked = window->handle();
    }
}

void registerTrayWindow(const std::shared_ptr<TinyWindow>& window) { tray().window = window; }

MainWindowState mainWindowState() {
    MainWindow& main = mainWindow();
    std::lock_guard<std::mutex> guard(main.lock);
    return MainWindowState{main.window != nullptr, main.window ? main.window->handle() : 0};
}

bool setTrayIcon() {
    const SciterWindow owner = trayHandle();
    if (owner == 0) return false;
    const SciterApi* api = sciter::api();
    api->SciterHookAdd(owner, &trayWindowHook, kTrayHookId, nullptr);
    const std::uint8_t* image = nullptr;
    std::size_t length = 0;
    if (!logoImage(&image, &length)) {
        logging::info(kTag, "ExtractIconEx failed, extracted={}, last error={}", 0, 0);
        return false;
    }
    const std::u16string tip = QString::fromLatin1(product::kName).toStdU16String();
    const bool shown =
        api->SciterTrayIconSet(owner, image, length, tip.c_str(), &onTrayClick, nullptr);
    if (shown) {
        tray().iconAdded = true;
    } else {
        logging::info(kTag, "tray icon not shown: the desktop has no notification area");
    }
    return shown;
}

void exitApp() {
    logging::info(kTag, "exitApp requested");
    const MainWindowState main = mainWindowState();
    if (!main.registered) {
        logging::info(kTag, "exitApp: no main window");
        return;
    }
    if (main.handle == 0 || !sciter::api()->SciterIsWindow(main.handle)) {
        logging::info(kTag, "exitApp: invalid main window hwnd");
        return;
    }
    g_quitting = true;
    if (!sciter::api()->SciterPostMessage(main.handle, kMessageClose, 0, 0)) {
        logging::info(kTag, "exitApp: PostMessage WM_CLOSE failed, reset flag");
        g_quitting = false;
    }
}

void notifyRunningInstanceQuit() {
    const std::uint32_t message = platform::registerWindowMessage(objectName(kQuitMessageSuffix));
    if (message != 0) platform::broadcastWindowMessage(message, 0, 0);
}

void registerMainWindowBroadcasts() {
    platform::registerWindowMessage(objectName(system::kShowMainWindowMessageSuffix));
    platform::registerWindowMessage(objectName(kQuitMessageSuffix));
}

bool signalMainWindowReady() {
    if (!platform::setNamedEvent(objectName(kMainWindowReadySuffix))) return false;
    logging::info(kTag, "main window ready event signaled");
    return true;
}

bool isMainWindowReady() { return platform::isNamedEventSet(objectName(kMainWindowReadySuffix)); }

bool setMinimizeOnClose(bool enabled) {
    g_closeToTray = enabled;
    system::saveSetting(QLatin1String(kMinimizeOnCloseKey),
                        enabled ? QStringLiteral("1") : QStringLiteral("0"));
    return true;
}

Point trayMenuPosition(Point cursor, int width, int height, const SciterRect* area) {
    Point at{cursor.x - width / 2, cursor.y - height - kTrayMenuGap};
    if (!area) return at;
    at.x = std::max(at.x, area->left);
    at.y = std::max(at.y, area->top);
    if (at.x + width > area->right) at.x = area->right - width;
    return at;
}

}  // namespace pellanor::ui
