// The API table and the library's only export, SciterAPI.
#include <QCoreApplication>
#include <QThread>

#include <climits>

#include "engine/sdk/sciter_api.h"
#include "engine/src/desktop.h"
#include "engine/src/host.h"
#include "engine/src/invoke.h"
#include "engine/src/values.h"
#include "engine/src/window.h"

namespace engine {

namespace {

constexpr std::uint32_t kVersion[4] = {6, 0, 4, 9};

// Window entries run on the UI thread only; from any other thread they refuse.
bool onUiThread() {
    auto* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

Window* live(SciterWindow handle) {
    Host* host = Host::existing();
    if (!host || !onUiThread()) return nullptr;
    Window* window = host->window(handle);
    return window && !window->isDestroying() ? window : nullptr;
}

QString text(const char16_t* chars) { return chars ? QString::fromUtf16(chars) : QString(); }

std::uint32_t version(std::uint32_t component) { return component < 4 ? kVersion[component] : 0; }

std::intptr_t exec(std::uint32_t command, std::intptr_t p1, std::intptr_t p2) {
    switch (command) {
        case kAppInit: {
            QStringList arguments;
            const auto* argv = reinterpret_cast<const char16_t* const*>(p2);
            for (std::intptr_t i = 0; argv && i < p1; ++i) arguments << text(argv[i]);
            Host::instance().init(arguments);
            return 1;
        }
        case kAppLoop:
            return onUiThread() ? Host::instance().loop() : -1;
        case kAppStop:
            // From another thread the request is queued, as the loop belongs to the UI thread.
            if (!onUiThread()) {
                return Host::post([code = static_cast<int>(p1)] {
                    if (Host* host = Host::existing()) host->stop(code);
                })
                           ? 1
                           : 0;
            }
            if (Host* host = Host::existing()) host->stop(static_cast<int>(p1));
            return 1;
        case kAppShutdown:
            // Windows and the application object can only be destroyed by their own thread.
            if (!onUiThread()) return 0;
            if (Host* host = Host::existing()) host->shutdown();
            return 1;
        default:
            return 0;
    }
}

bool setOption(SciterWindow, std::uint32_t option, std::uintptr_t value) {
    return onUiThread() && Host::instance().setOption(option, value);
}

std::uintptr_t getOption(SciterWindow, std::uint32_t option) {
    return Host::instance().option(option);
}

std::uintptr_t openArchive(const std::uint8_t* data, std::size_t length) {
    return Host::instance().openArchive(data, length);
}

bool archiveItem(std::uintptr_t archive, const char16_t* path, const std::uint8_t** data,
                 std::size_t* length) {
    return Host::instance().archiveItem(archive, text(path), data, length);
}

bool closeArchive(std::uintptr_t archive) { return Host::instance().closeArchive(archive); }

std::uint64_t atomValue(const char* name) { return Host::instance().atom(name); }

bool setGlobalAsset(void* object, const SciterPassport* passport) {
    return onUiThread() && Host::instance().addGlobalAsset(object, passport);
}

bool setWindowAsset(SciterWindow handle, void* object, const SciterPassport* passport) {
    Window* window = live(handle);
    if (!window || !object || !passport) return false;
    window->setAsset(Asset{object, passport});
    return true;
}

SciterWindow createWindow(std::uint32_t flags, const SciterRect* frame, SciterWindow) {
    return onUiThread() ? Host::instance().createWindow(flags, frame) : 0;
}

bool setCallback(SciterWindow handle, SciterHostCallback callback, void* param) {
    Window* window = live(handle);
    if (window) window->setHostCallback(callback, param);
    return window != nullptr;
}

bool dataReady(SciterWindow handle, const char16_t* url, const std::uint8_t* data,
               std::size_t length) {
    Window* window = live(handle);
    if (!window || !url || (!data && length > 0) || length > std::size_t{INT_MAX}) return false;
    window->dataReady(text(url),
                      QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(length)));
    return true;
}

bool attachEventHandler(SciterWindow handle, SciterEventHandler handler, void* tag) {
    Window* window = live(handle);
    if (window) window->setEventHandler(handler, tag);
    return window != nullptr;
}

bool loadFile(SciterWindow handle, const char16_t* url) {
    Window* window = live(handle);
    return window && url && window->load(text(url));
}

bool windowCommand(SciterWindow handle, std::uint32_t command, std::uintptr_t value) {
    Window* window = live(handle);
    if (!window || command != kWindowSetState) return false;
    switch (value) {
        case kWindowStateHidden:
            window->hide();
            return true;
        case kWindowStateMinimized:
            window->showMinimized();
            return true;
        case kWindowStateShown:
            window->showNormal();
            return true;
        case kWindowStateMaximized:
            window->showMaximized();
            return true;
        default:
            return false;
    }
}

// The broadcast handle reaches every window, as an event without a target element does.
bool fireOn(SciterWindow handle, const QString& event) {
    Host* host = Host::existing();
    if (!host || !onUiThread()) return false;
    if (handle != kBroadcastWindow) {
        Window* window = live(handle);
        if (window) window->fireEvent(event);
        return window != nullptr;
    }
    for (SciterWindow each : host->handles()) {
        if (Window* window = live(each)) window->fireEvent(event);
    }
    return true;
}

bool fireEvent(SciterWindow handle, const char16_t* name, bool post) {
    if (!name) return false;
    const QString event = text(name);
    if (!post) return fireOn(handle, event);
    return Host::post([handle, event] { fireOn(handle, event); });
}

std::uint32_t registerMessage(const char* name) { return Host::instance().registerMessage(name); }

bool postMessage(SciterWindow handle, std::uint32_t message, std::uintptr_t wparam,
                 std::intptr_t lparam) {
    return Host::post([=] {
        Host* host = Host::existing();
        if (!host) return;
        if (handle != kBroadcastWindow) {
            if (Window* window = live(handle)) window->dispatch(message, wparam, lparam);
            return;
        }
        for (SciterWindow each : host->handles()) {
            if (Window* window = live(each)) window->dispatch(message, wparam, lparam);
        }
    });
}

bool hookAdd(SciterWindow handle, SciterHookProc proc, std::uintptr_t id, void* data) {
    Window* window = live(handle);
    return window && window->addHook(proc, id, data);
}

bool hookRemove(SciterWindow handle, SciterHookProc proc, std::uintptr_t id) {
    Host* host = Host::existing();
    Window* window = host && onUiThread() ? host->window(handle) : nullptr;
    return window && window->removeHook(proc, id);
}

// Passing on works during the destroy message too, when the window is already going.
std::intptr_t hookPassOn(SciterWindow handle, std::uint32_t message, std::uintptr_t wparam,
                         std::intptr_t lparam) {
    Host* host = Host::existing();
    Window* window = host && onUiThread() ? host->window(handle) : nullptr;
    return window ? window->passOn(message, wparam, lparam) : 0;
}

bool setTimer(SciterWindow handle, std::uintptr_t id, std::uint32_t milliseconds,
              SciterTimerProc proc) {
    Window* window = live(handle);
    if (!window || !proc) return false;
    window->setTimer(id, milliseconds, proc);
    return true;
}

bool killTimer(SciterWindow handle, std::uintptr_t id) {
    Window* window = live(handle);
    return window && window->killTimer(id);
}

bool showWindow(SciterWindow handle, std::uint32_t show) {
    Window* window = live(handle);
    if (window) window->showCommand(show);
    return window != nullptr;
}

bool setForeground(SciterWindow handle) {
    Window* window = live(handle);
    if (!window) return false;
    window->raise();
    window->activateWindow();
    return true;
}

bool isWindow(SciterWindow handle) { return live(handle) != nullptr; }

bool isVisible(SciterWindow handle) {
    Window* window = live(handle);
    return window && window->isVisible();
}

bool isMinimized(SciterWindow handle) {
    Window* window = live(handle);
    return window && window->isMinimized();
}

bool windowRect(SciterWindow handle, SciterRect* rect) {
    Window* window = live(handle);
    if (!window || !rect) return false;
    const QRect frame = window->frameGeometry();
    *rect = SciterRect{frame.left(), frame.top(), frame.right() + 1, frame.bottom() + 1};
    return true;
}

bool placeWindow(SciterWindow handle, std::uint32_t zOrder, bool move, std::int32_t x,
                 std::int32_t y, std::uint32_t show, bool activate) {
    Window* window = live(handle);
    if (window) window->place(zOrder, move, x, y, show, activate);
    return window != nullptr;
}

bool setToolWindow(SciterWindow handle, bool toolWindow) {
    Window* window = live(handle);
    if (window) window->setToolWindow(toolWindow);
    return window != nullptr;
}

bool setTitle(SciterWindow handle, const char16_t* title) {
    Window* window = live(handle);
    if (window) window->setWindowTitle(text(title));
    return window != nullptr;
}

bool trayIconSet(SciterWindow owner, const std::uint8_t* image, std::size_t length,
                 const char16_t* tooltip, SciterTrayProc proc, void* data) {
    Window* window = live(owner);
    if (!window || length > std::size_t{INT_MAX}) return false;
    const QByteArray bytes(reinterpret_cast<const char*>(image),
                           image ? static_cast<int>(length) : 0);
    return window->setTrayIcon(bytes, text(tooltip), proc, data);
}

bool trayIconRemove(SciterWindow owner) {
    Window* window = live(owner);
    if (window) window->removeTrayIcon();
    return window != nullptr;
}

std::uintptr_t mouseHookInstall(SciterMouseProc proc, void* data, std::uint32_t* error) {
    if (onUiThread()) return installMouseHook(proc, data, error);
    if (error) *error = kHookErrorWrongThread;
    return 0;
}

bool mouseHookRemove(std::uintptr_t hook) { return onUiThread() && removeMouseHook(hook); }

// Qt's cursor and screens belong to the UI thread.
bool cursorOnUiThread(std::int32_t* x, std::int32_t* y) {
    return onUiThread() && cursorPosition(x, y);
}

std::int32_t monitorsOnUiThread() { return onUiThread() ? monitorCount() : 0; }

bool workAreaOnUiThread(std::int32_t x, std::int32_t y, SciterRect* area) {
    return onUiThread() && monitorWorkArea(x, y, area);
}

const SciterApi kApi = {
    kSciterApiLayout,
    version,
    exec,
    setOption,
    getOption,
    openArchive,
    archiveItem,
    closeArchive,
    atomValue,
    setGlobalAsset,
    setWindowAsset,
    createWindow,
    setCallback,
    dataReady,
    attachEventHandler,
    loadFile,
    windowCommand,
    fireEvent,
    registerMessage,
    postMessage,
    hookAdd,
    hookRemove,
    hookPassOn,
    setTimer,
    killTimer,
    showWindow,
    setForeground,
    isWindow,
    isVisible,
    isMinimized,
    windowRect,
    placeWindow,
    setToolWindow,
    setTitle,
    trayIconSet,
    trayIconRemove,
    mouseHookInstall,
    mouseHookRemove,
    cursorOnUiThread,
    monitorsOnUiThread,
    workAreaOnUiThread,
    valueInit,
    valueClear,
    valueCopy,
    valueType,
    valueIntData,
    valueIntDataSet,
    valueFloatData,
    valueFloatDataSet,
    valueStringData,
    valueStringDataSet,
    valueToString,
    valueNullSet,
    valueElementsCount,
    valueNthElementValue,
    valueAppend,
    valueNthElementKey,
    valueSetValueToKey,
    valueGetValueOfKey,
    valueNativeFunctorSet,
    valueInvoke,
};

}  // namespace

}  // namespace engine

extern "C" __attribute__((visibility("default"))) const SciterApi* SciterAPI() {
    return &engine::kApi;
}
