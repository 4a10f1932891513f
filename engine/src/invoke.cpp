// Function invocation. A page function is called by asking its page to run
// __engine.invoke(document, callback, arguments); the call is queued to the UI thread, so calls
// from one thread reach the page in the order they were made, and the caller waits for the
// answer (processing events on the UI thread, a condition variable elsewhere). Long texts among
// the arguments are not written into the script: the page takes them by id without blocking,
// runs the function afterwards and says so (see answerLater).
#include "engine/src/invoke.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWebEnginePage>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "engine/src/host.h"
#include "engine/src/kept_texts.h"
#include "engine/src/values.h"
#include "engine/src/window.h"

namespace engine {

namespace {

QString errorReply(const QString& message) {
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{"e", message}}).toJson(QJsonDocument::Compact));
}

QString jsString(const QString& text) {
    return QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact))
        .mid(1)
        .chopped(1);
}

bool onUiThread() {
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// Calls that worker threads wait for, so that shutdown can fail them: once the engine is shut
// down the queued work that would have started them never runs.
std::mutex s_waitingMutex;
std::set<std::shared_ptr<PendingCall>> s_waiting;

// The runtime's answer when the function will run once the call's kept texts have arrived.
const QString kLaterReply = QStringLiteral("{\"later\":1}");
constexpr int kLaterWatchMs = 500;

// Calls whose page takes their kept texts without blocking and runs the function afterwards,
// by token; UI thread only. The page says when it has run (this://app/$engine/answer), and the
// answer is collected with a script, so its size is not bounded by a request's URL. A page that
// went away meanwhile (closed, or another document loaded) is noticed by the watch.
struct Deferred {
    std::shared_ptr<PendingCall> call;
    QPointer<Window> window;
    QTimer* watch = nullptr;
};
std::map<QString, Deferred> s_deferred;

void settleDeferred(const QString& token, const QString& reply) {
    const auto it = s_deferred.find(token);
    if (it == s_deferred.end()) return;
    Deferred deferred = it->second;
    s_deferred.erase(it);
    deferred.watch->stop();
    deferred.watch->deleteLater();
    if (deferred.window) deferred.window->removePending(deferred.call);
    deferred.call->finish(reply);
}

void defer(const std::shared_ptr<PendingCall>& call, const QPointer<Window>& window,
           const QString& token) {
    auto* watch = new QTimer;
    watch->setInterval(kLaterWatchMs);
    s_deferred[token] = Deferred{call, window, watch};
    QObject::connect(watch, &QTimer::timeout, [token] {
        const auto it = s_deferred.find(token);
        if (it == s_deferred.end()) return;
        Window* owner = it->second.window;
        if (!owner || owner->isDestroying()) {
            settleDeferred(token, pageGoneReply());
            return;
        }
        owner->page()->runJavaScript(
            QStringLiteral("!!(window.__engine && window.__engine.alive(%1))").arg(jsString(token)),
            [token](const QVariant& alive) {
                if (!alive.toBool()) settleDeferred(token, pageGoneReply());
            });
    });
    watch->start();
}

// Runs on the UI thread: hands the call to the page, or finishes it at once if it cannot run.
// A caller waiting on the UI thread cannot wait for a page that itself waits for the UI thread.
void startCall(const std::shared_ptr<PendingCall>& call, SciterWindow handle, const QString& script,
               bool callerOnUiThread, const QString& token) {
    Host* host = Host::existing();
    Window* window = host ? host->window(handle) : nullptr;
    if (!window || window->isDestroying()) {
        call->finish(pageGoneReply());
        return;
    }
    if (callerOnUiThread && host->pageWaitsForNative(handle)) {
        call->finish(
            errorReply(QStringLiteral("the page of this function is waiting for a native call")));
        return;
    }
    window->addPending(call);
    QPointer<Window> guard(window);
    window->page()->runJavaScript(script, [call, guard, token](const QVariant& answer) {
        if (!token.isEmpty() && guard && answer.toString() == kLaterReply) {
            defer(call, guard, token);
            return;
        }
        if (guard) guard->removePending(call);
        call->finish(answer.type() == QVariant::String
                         ? answer.toString()
                         : errorReply(QStringLiteral("the page cannot run script functions")));
    });
}

bool isFinished(const std::shared_ptr<PendingCall>& call) {
    std::lock_guard<std::mutex> lock(call->mutex);
    return call->finished;
}

// Events keep being processed while we wait, as the page's own calls to native code must be
// answered. Not a QEventLoop: the application's exit (the main window closing during the wait)
// would end it before the page answered and the caller would be told the call failed.
//
// The posted events are sent by hand before each blocking step. The wait usually runs inside
// the delivery of a posted event (a message, a queued call), and Qt's dispatcher counts the
// events queued behind that one in the same batch as already being sent: it goes to sleep with
// them still queued. Chromium's UI-thread work is such a posted event, and Chromium schedules
// it only once until it has run, so the page would never answer until an unrelated timer or
// input woke the loop.
QString waitOnUiThread(const std::shared_ptr<PendingCall>& call, SciterWindow window,
                       const QString& script, const QString& token) {
    startCall(call, window, script, true, token);
    while (!isFinished(call)) {
        QCoreApplication::sendPostedEvents();
        if (isFinished(call)) break;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents |
                                        QEventLoop::ExcludeUserInputEvents);
    }
    return call->reply;
}

QString waitOnWorker(const std::shared_ptr<PendingCall>& call, SciterWindow window,
                     const QString& script, const QString& token) {
    {
        std::lock_guard<std::mutex> lock(s_waitingMutex);
        s_waiting.insert(call);
    }
    const bool queued = Host::post(
        [call, window, script, token] { startCall(call, window, script, false, token); });
    if (!queued) call->finish(errorReply(QStringLiteral("the engine is not running")));
    {
        std::unique_lock<std::mutex> lock(call->mutex);
        call->done.wait(lock, [&call] { return call->finished; });
    }
    std::lock_guard<std::mutex> lock(s_waitingMutex);
    s_waiting.erase(call);
    return call->reply;
}

std::int32_t invokeNative(const FunctionPayload& function, std::uint32_t argc,
                          const SciterValue* argv, SciterValue* result) {
    SciterValue out{};
    function.nativeInvoke(function.nativeTag, argc, argv, &out);
    valueClear(result);
    *result = out;
    return out.type == kValueString && out.units == kStringError ? kValueInvokeFailed : kValueOk;
}

}  // namespace

void PendingCall::finish(const QString& answer) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (finished) return;
        finished = true;
        reply = answer;
    }
    done.notify_all();
}

void failWaitingCalls() {
    std::set<std::shared_ptr<PendingCall>> waiting;
    {
        std::lock_guard<std::mutex> lock(s_waitingMutex);
        waiting = s_waiting;
    }
    for (const auto& call : waiting) {
        call->finish(errorReply(QStringLiteral("the engine is not running")));
    }
}

QString pageGoneReply() { return errorReply(QStringLiteral("the page of this function is gone")); }

std::int32_t valueInvoke(const SciterValue* function, std::uint32_t argc, const SciterValue* argv,
                         SciterValue* result) {
    if (!function || !result || (argc > 0 && !argv)) return kValueBadParameter;
    const FunctionPayload* payload = functionOf(*function);
    if (!payload) return kValueIncompatibleType;
    if (payload->nativeInvoke) return invokeNative(*payload, argc, argv, result);

    // Long texts wait here for the page to take them (see kept_texts.h); whatever it did not
    // take is dropped when the call ends, answered, failed or its page gone.
    struct KeptScope {
        std::vector<QString> ids;
        ~KeptScope() { kept_texts::drop(ids); }
    } kept;
    const auto keepText = [&kept](const std::u16string& text) -> QJsonValue {
        if (!kept_texts::worthKeeping(text)) return QJsonValue::Null;
        const QString id = kept_texts::keep(text);
        if (id.isEmpty()) return QJsonValue::Null;
        kept.ids.push_back(id);
        return QJsonObject{{"t", id}};
    };
    QJsonArray arguments;
    for (std::uint32_t i = 0; i < argc; ++i) arguments.append(toTransport(argv[i], keepText));
    // With kept texts the page takes them without blocking and runs the function afterwards.
    const QString token = kept.ids.empty() ? QString() : kept_texts::newToken();
    const QString json = QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Compact));
    const QString script =
        token.isEmpty()
            ? QStringLiteral("window.__engine && window.__engine.invoke(%1, %2, %3)")
                  .arg(jsString(payload->document), QString::number(payload->callback), json)
            : QStringLiteral("window.__engine && window.__engine.invokeLater(%1, %2, %3, %4)")
                  .arg(jsString(payload->document), QString::number(payload->callback), json,
                       jsString(token));
    auto call = std::make_shared<PendingCall>();
    const QString reply = onUiThread() ? waitOnUiThread(call, payload->window, script, token)
                                       : waitOnWorker(call, payload->window, script, token);

    const QJsonObject answer = QJsonDocument::fromJson(reply.toUtf8()).object();
    Value out;
    std::int32_t status = kValueOk;
    if (answer.contains("v")) {
        out = fromTransport(answer.value("v"), payload->window, payload->document);
    } else {
        const std::u16string message =
            toU16(answer.value("e").toString(QStringLiteral("invalid answer")));
        valueStringDataSet(&out.raw(), message.data(), static_cast<std::uint32_t>(message.size()),
                           kStringError);
        status = kValueInvokeFailed;
    }
    valueClear(result);
    *result = out.release();
    return status;
}

void answerLater(const QString& token) {
    const auto it = s_deferred.find(token);
    if (it == s_deferred.end() || !it->second.window) return;
    it->second.window->page()->runJavaScript(
        QStringLiteral("window.__engine && window.__engine.collect(%1)").arg(jsString(token)),
        [token](const QVariant& answer) {
            settleDeferred(token,
                           answer.type() == QVariant::String
                               ? answer.toString()
                               : errorReply(QStringLiteral("the page of this function is gone")));
        });
}

void releasePageFunction(SciterWindow handle, const QString& document, int callback) {
    const QString script = QStringLiteral("window.__engine && window.__engine.release(%1, %2)")
                               .arg(jsString(document), QString::number(callback));
    Host::post([handle, script] {
        Host* host = Host::existing();
        Window* window = host ? host->window(handle) : nullptr;
        if (window && !window->isDestroying()) window->page()->runJavaScript(script);
    });
}

}  // namespace engine
