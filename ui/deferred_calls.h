// Work that must run on the UI thread later: a page's setTimeoutOnce, and the delivery of
// download reports that other threads produce to the script function registered for their
// request. Both ride one-shot timers of the main window, whose ids come from one sequence.
#pragma once

#include <QString>
#include <QVariantMap>

#include "bridge/script_values.h"

namespace pellanor::ui {

using bridge::ScriptFunction;

// Calls `function` once, with no argument, on the UI thread about `delayMs` milliseconds from
// now (a negative delay counts as 0). Answers the timer id (at least 1), or 0 with a log line
// when there is no usable main window or its timer cannot be set. UI thread. Not cancellable.
unsigned setTimeoutOnce(ScriptFunction function, int delayMs);

// The download side. Registers `function` as the receiver of `requestId`'s reports, replacing
// the one registered before; unregistering makes later reports of that request be dropped.
// Any thread.
void registerDownloadCallback(const QString& requestId, ScriptFunction function);
void unregisterDownloadCallback(const QString& requestId);

// Hands `payload` to the function registered for `requestId`, on the UI thread, as soon as its
// loop handles timers; `final` ends the registration with this report. Answers the timer id, or
// 0 with a log line (no main window, or no timer). Any thread; from another thread the timer is
// set on the UI thread, so a window gone by then only logs there.
unsigned runDownloadCallbackOnUiThread(const QString& requestId, const QVariantMap& payload,
                                       bool final);

// pellanor-cli has no main window: from this call on, deliveries run on timers of the Qt
// application's own thread instead. Call on that thread before the first delivery.
void deliverOnApplicationTimers();

}  // namespace pellanor::ui
