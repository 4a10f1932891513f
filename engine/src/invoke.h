// Calling function values: native functions run on the caller's thread; page functions run on
// the UI thread inside their page while the caller waits.
#pragma once

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "engine/sdk/sciter_api.h"

namespace engine {

// One page-function call in flight; finished by the page's answer or by the page going away.
struct PendingCall {
    void finish(const QString& reply);  // reply: the runtime's JSON answer
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    QString reply;
};

std::int32_t valueInvoke(const SciterValue* function, std::uint32_t argc, const SciterValue* argv,
                         SciterValue* result);

// The page ran a function whose call kept texts (this://app/$engine/answer?token=...): its
// answer is collected and the caller released. UI thread only; an unknown token does nothing.
void answerLater(const QString& token);

// Lets the page forget a callback once no native copy of its function value is left.
void releasePageFunction(SciterWindow window, const QString& document, int callback);

// The runtime's answer when a window closes under a waiting call.
QString pageGoneReply();

// Finishes, with an error, every call a worker thread still waits for; called at shutdown,
// after which no queued work runs.
void failWaitingCalls();

}  // namespace engine
