// Function invocation. A page function is called by asking its page to run
// __engine.invoke(document, callback, arguments); the call is queued to the UI thread, so calls
// from one thread reach the page in the order they were made, and the caller waits for the
// answer (processing events on the UI thread, a condition variable elsewhere). Long texts among
// the arguments are not written into the script: the page takes them by id while it runs.
#include "engine/src/invoke.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QThread>
#include <QWebEnginePage>

#include <functional>
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

// Runs on the UI thread: hands the call to the page, or finishes it at once if it cannot run.
// A caller waiting on the UI thread cannot wait for a page that itself waits for the UI thread.
void startCall(const std::shared_ptr<PendingCall>& call, SciterWindow handle, const QString& script,
               bool callerOnUiThread) {
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
    window->page()->runJavaScript(script, [call, guard](const QVariant& answer) {
        if (guard) guard->removePending(call);
        call->finish(answer.type() == QVariant::String
                         ? answer.toString()
                         : errorReply(QStringLiteral("the page cannot run script functions")));
    });
}

// Events keep being processed while we wait, as the page's own calls to native code must be
// answered. Not a QEventLoop: the application's exit (the main window closing during the wait)
// would end it before the page answered and the caller would be told the call failed.
QString waitOnUiThread(const std::shared_ptr<PendingCall>& call, SciterWindow window,
                       const QString& script) {
    startCall(call, window, script, true);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(call->mutex);
            if (call->finished) break;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents |
                                        QEventLoop::ExcludeUserInputEvents);
    }
    return call->reply;
}

QString waitOnWorker(const std::shared_ptr<PendingCall>& call, SciterWindow window,
                     const QString& script) {
    {
        std::lock_guard<std::mutex> lock(s_waitingMutex);
        s_waiting.insert(call);
    }
    const bool queued =
        Host::post([call, window, script] { startCall(call, window, script, false); });
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
    const QString script =
        QStringLiteral("window.__engine && window.__engine.invoke(%1, %2, %3)")
            .arg(jsString(payload->document), QString::number(payload->callback),
                 QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Compact)));
    auto call = std::make_shared<PendingCall>();
    const QString reply = onUiThread() ? waitOnUiThread(call, payload->window, script)
                                       : waitOnWorker(call, payload->window, script);

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
