// Deferred calls: three tables, each under its own lock, never held while a script function
// runs. The timer procedures take an entry out under its lock, kill the timer, and only then
// call; a timer that finds no entry has nothing left to do but die.
#include "ui/deferred_calls.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

#include "engine/sdk/sciter_value.h"
#include "log/logger.h"
#include "ui/main_window.h"

namespace pellanor::ui {

namespace {

constexpr char kTag[] = "NativeUtil";
constexpr char kTimeoutName[] = "setTimeoutOnce";
constexpr char kDeliveryName[] = "runDownloadCallbackOnUiThread";

struct Delivery {
    QString requestId;
    QVariantMap payload;
    bool final;
};

// Both kinds share the main window's timers, so they share one id sequence.
std::atomic<unsigned> g_nextId{1};
std::atomic<bool> g_applicationTimers{false};

std::mutex g_timeoutLock;
std::map<unsigned, ScriptFunction> g_timeouts;
std::mutex g_deliveryLock;
std::map<unsigned, Delivery> g_deliveries;
std::mutex g_registrationLock;
std::map<QString, ScriptFunction> g_registered;

bool onUiThread() {
    const QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

// The main window whose timers carry the work, or 0 after logging why there is none. Off the
// UI thread the engine answers no window questions; the UI thread checks again when it sets
// the timer.
SciterWindow timerOwner(const char* operation) {
    const MainWindowState main = mainWindowState();
    if (!main.registered) {
        logging::info(kTag, "{}: no main window", operation);
        return 0;
    }
    if (main.handle == 0 || (onUiThread() && !sciter::api()->SciterIsWindow(main.handle))) {
        logging::info(kTag, "{}: invalid hwnd", operation);
        return 0;
    }
    return main.handle;
}

template <typename Entry>
bool takeEntry(std::mutex& lock, std::map<unsigned, Entry>& table, unsigned id, Entry& entry) {
    std::lock_guard<std::mutex> guard(lock);
    const auto found = table.find(id);
    if (found == table.end()) return false;
    entry = std::move(found->second);
    table.erase(found);
    return true;
}

void forgetDelivery(unsigned id) {
    std::lock_guard<std::mutex> guard(g_deliveryLock);
    g_deliveries.erase(id);
}

void onTimeoutTimer(SciterWindow window, std::uintptr_t timer) {
    const auto id = static_cast<unsigned>(timer);
    ScriptFunction function;
    const bool found = takeEntry(g_timeoutLock, g_timeouts, id, function);
    sciter::api()->SciterKillTimer(window, timer);
    if (!found) return;
    logging::debug(kTag, "setTimeoutOnce fired: id={}", id);
    QString error;
    if (!function({}, error)) logging::info(kTag, "setTimeoutOnce callback exception");
}

void deliver(unsigned id) {
    Delivery record;
    if (!takeEntry(g_deliveryLock, g_deliveries, id, record)) return;
    ScriptFunction function;
    {
        std::lock_guard<std::mutex> guard(g_registrationLock);
        const auto found = g_registered.find(record.requestId);
        if (found != g_registered.end()) {
            function = found->second;
            if (record.final) g_registered.erase(found);
        }
    }
    const std::string requestId = record.requestId.toStdString();
    if (!function) {
        logging::debug(kTag, "OnDownloadUiThreadCallback: requestId={} no longer active, skip",
                       requestId);
        return;
    }
    logging::debug(kTag, "OnDownloadUiThreadCallback fired: id={}, requestId={}", id, requestId);
    QString error;
    if (!function({record.payload}, error)) {
        logging::info(kTag, "OnDownloadUiThreadCallback callback exception");
    }
}

void onDeliveryTimer(SciterWindow window, std::uintptr_t timer) {
    sciter::api()->SciterKillTimer(window, timer);
    deliver(static_cast<unsigned>(timer));
}

// UI thread. On failure the entry goes again, so no delivery waits for a timer that never comes.
bool setDeliveryTimer(SciterWindow owner, unsigned id) {
    if (!sciter::api()->SciterIsWindow(owner)) {
        forgetDelivery(id);
        logging::info(kTag, "{}: invalid hwnd", kDeliveryName);
        return false;
    }
    if (sciter::api()->SciterSetTimer(owner, id, 0, &onDeliveryTimer)) return true;
    forgetDelivery(id);
    logging::info(kTag, "{}: SetTimer failed", kDeliveryName);
    return false;
}

// Runs `work` on the UI thread after the events already queued; false without an application.
template <typename Work>
bool onUiThreadLater(Work work) {
    QCoreApplication* application = QCoreApplication::instance();
    return application &&
           QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
}

// A window's timers belong to its thread, so a delivery from another thread sets its timer
// there; the id is the caller's answer already.
bool scheduleDelivery(SciterWindow owner, unsigned id) {
    if (owner == 0) {
        return onUiThreadLater(
            [id] { QTimer::singleShot(0, QCoreApplication::instance(), [id] { deliver(id); }); });
    }
    if (onUiThread()) return setDeliveryTimer(owner, id);
    return onUiThreadLater([owner, id] { setDeliveryTimer(owner, id); });
}

}  // namespace

unsigned setTimeoutOnce(ScriptFunction function, int delayMs) {
    const int delay = std::max(delayMs, 0);
    const SciterWindow owner = timerOwner(kTimeoutName);
    if (owner == 0) return 0;
    unsigned id = 0;
    {
        std::lock_guard<std::mutex> guard(g_timeoutLock);
        id = g_nextId++;
        g_timeouts.emplace(id, std::move(function));
    }
    if (!sciter::api()->SciterSetTimer(owner, id, static_cast<std::uint32_t>(delay),
                                       &onTimeoutTimer)) {
        std::lock_guard<std::mutex> guard(g_timeoutLock);
        g_timeouts.erase(id);
        logging::info(kTag, "{}: SetTimer failed", kTimeoutName);
        return 0;
    }
    logging::debug(kTag, "setTimeoutOnce: id={}, delay={}", id, delay);
    return id;
}

void registerDownloadCallback(const QString& requestId, ScriptFunction function) {
    std::lock_guard<std::mutex> guard(g_registrationLock);
    g_registered[requestId] = std::move(function);
}

void unregisterDownloadCallback(const QString& requestId) {
    std::lock_guard<std::mutex> guard(g_registrationLock);
    g_registered.erase(requestId);
}

unsigned runDownloadCallbackOnUiThread(const QString& requestId, const QVariantMap& payload,
                                       bool final) {
    SciterWindow owner = 0;  // none: the application's own timers
    if (!g_applicationTimers) {
        owner = timerOwner(kDeliveryName);
        if (owner == 0) return 0;
    }
    unsigned id = 0;
    {
        std::lock_guard<std::mutex> guard(g_deliveryLock);
        id = g_nextId++;
        g_deliveries.emplace(id, Delivery{requestId, payload, final});
    }
    if (!scheduleDelivery(owner, id)) {
        forgetDelivery(id);
        return 0;
    }
    logging::debug(kTag, "runDownloadCallbackOnUiThread: id={}, requestId={}", id,
                   requestId.toStdString());
    return id;
}

void deliverOnApplicationTimers() { g_applicationTimers = true; }

}  // namespace pellanor::ui
