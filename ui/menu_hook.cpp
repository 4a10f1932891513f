// The outside-click hook. The engine hands it button presses only, as the low-level hook it
// stands for filters to button-down messages; where it can see them is the engine's business
// (on X11 and Wayland, only presses in our own windows).
#include "ui/menu_hook.h"

#include <QString>

#include <cstdint>

#include "engine/sdk/sciter_value.h"
#include "log/logger.h"
#include "ui/main_window.h"

namespace pellanor::ui {

namespace {

constexpr char kTag[] = "NativeUtil";

struct MenuHook {
    std::uintptr_t handle = 0;
    bool armed = false;
    SciterRect menu{};
};

MenuHook g_hook;  // UI thread only

bool inside(const SciterRect& rect, std::int32_t x, std::int32_t y) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

void onMousePress(std::uint32_t, std::int32_t x, std::int32_t y, void*) {
    if (!g_hook.armed || inside(g_hook.menu, x, y)) return;
    if (!mainWindowState().registered) return;
    const std::u16string name = QString::fromLatin1(kMenuOutsideClickEvent).toStdU16String();
    sciter::api()->SciterFireEvent(kBroadcastWindow, name.c_str(), true);
}

}  // namespace

bool enableMenuOutsideClickClose(int x, int y, int width, int height) {
    disableMenuOutsideClickClose();
    g_hook.menu = SciterRect{x, y, x + width, y + height};
    g_hook.armed = true;
    const SciterApi* api = sciter::api();
    std::uint32_t error = kHookErrorNotReady;
    g_hook.handle = api ? api->SciterMouseHookInstall(&onMousePress, nullptr, &error) : 0;
    if (g_hook.handle == 0) {
        g_hook.armed = false;
        logging::info(kTag, "failed to install menu mouse hook. err: {}", error);
        return false;
    }
    logging::info(kTag, "menu outside click hook installed. rect: {} {} {} {}", x, y, width,
                  height);
    return true;
}

bool disableMenuOutsideClickClose() {
    if (g_hook.handle != 0) {
        sciter::api()->SciterMouseHookRemove(g_hook.handle);
        g_hook.handle = 0;
        logging::info(kTag, "menu outside click hook uninstalled");
    }
    g_hook.armed = false;
    return true;
}

int cursorX() {
    std::int32_t x = 0;
    std::int32_t y = 0;
    const SciterApi* api = sciter::api();
    return api && api->SciterCursorPosition(&x, &y) ? x : 0;
}

int cursorY() {
    std::int32_t x = 0;
    std::int32_t y = 0;
    const SciterApi* api = sciter::api();
    return api && api->SciterCursorPosition(&x, &y) ? y : 0;
}

int monitorCount() {
    const SciterApi* api = sciter::api();
    return api ? api->SciterMonitorCount() : 0;
}

}  // namespace pellanor::ui
