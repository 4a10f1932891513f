// Update downloads between the HTTP client's signals and the page's callback. Progress comes in
// far faster than a page can take it, so one progress report per download waits at a time and
// takes the latest counts when it runs; the final report is retried when the delivery refuses
// it, so a page always learns how its download ended.
#include "net/update_download.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "log/logger.h"
#include "log/qt_format.h"
#include "net/http_client.h"
#include "platform/launch.h"
#include "platform/paths.h"

namespace pellanor::net {
namespace {

constexpr int kFinalRetryMs = 200;
constexpr int kFinalRetries = 25;  // five seconds

const QString kType = QStringLiteral("type");

// ---- the stand-in delivery: queued calls on the application's thread

std::mutex g_standInMutex;
std::map<QString, DownloadCallback> g_standInCallbacks;

unsigned standInDeliver(const QString& requestId, const QVariantMap& report, bool final) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) return 0;
    QMetaObject::invokeMethod(
        application,
        [requestId, report, final] {
            DownloadCallback callback;
            {
                std::lock_guard<std::mutex> guard(g_standInMutex);
                const auto found = g_standInCallbacks.find(requestId);
                if (found == g_standInCallbacks.end()) {
                    logging::debug(
                        "NativeUtil",
                        "OnDownloadUiThreadCallback: requestId={} no longer active, skip",
                        requestId);
                    return;
                }
                callback = found->second;
                if (final) g_standInCallbacks.erase(found);
            }
            callback(report);  // a refusal is the callback's to handle
        },
        Qt::QueuedConnection);
    return 1;
}

DownloadDelivery standInDelivery() {
    DownloadDelivery delivery;
    delivery.registerCallback = [](const QString& requestId, DownloadCallback callback) {
        std::lock_guard<std::mutex> guard(g_standInMutex);
        g_standInCallbacks[requestId] = std::move(callback);
    };
    delivery.unregisterCallback = [](const QString& requestId) {
        std::lock_guard<std::mutex> guard(g_standInMutex);
        g_standInCallbacks.erase(requestId);
    };
    delivery.deliver = standInDeliver;
    return delivery;
}

std::mutex g_deliveryMutex;
DownloadDelivery g_delivery = standInDelivery();

DownloadDelivery delivery() {
    std::lock_guard<std::mutex> guard(g_deliveryMutex);
    return g_delivery;
}

std::atomic<unsigned> g_downloadCounter{0};

// Shared by the two forwarding handlers and the registered callback of one download.
struct DownloadState {
    QString requestId;
    DownloadCallback callback;
    QMetaObject::Connection progressConnection;
    QMetaObject::Connection finishedConnection;
    std::mutex mutex;
    bool progressWaiting = false;
    double received = 0;
    double total = -1;
    bool cancelled = false;
    int finalRetriesLeft = kFinalRetries;
};

// Running downloads by id, for cancelDownload to stop a final report's retries.
std::mutex g_statesMutex;
std::map<QString, std::weak_ptr<DownloadState>> g_states;

void forgetState(const QString& requestId) {
    std::lock_guard<std::mutex> guard(g_statesMutex);
    g_states.erase(requestId);
}

QVariantMap progressReport(double received, double total) {
    return {{kType, QStringLiteral("progress")},
            {QStringLiteral("received"), received},
            {QStringLiteral("total"), total}};
}

DownloadCallback registered(const std::shared_ptr<DownloadState>& state);

// Registers the callback again (a final delivery ends the registration even when the page
// refused it) and offers the report once more, later.
void retryFinal(const std::shared_ptr<DownloadState>& state, const QVariantMap& report) {
    {
        std::lock_guard<std::mutex> guard(state->mutex);
        if (state->cancelled) return;
        if (state->finalRetriesLeft-- <= 0) {
            logging::info("NativeUtil", "final report of {} could not be delivered",
                          state->requestId);
            forgetState(state->requestId);
            return;
        }
    }
    QTimer::singleShot(kFinalRetryMs, HttpClient::instance(), [state, report] {
        {
            std::lock_guard<std::mutex> guard(state->mutex);
            if (state->cancelled) return;
        }
        delivery().registerCallback(state->requestId, registered(state));
        if (delivery().deliver(state->requestId, report, true) == 0) retryFinal(state, report);
    });
}

// What the page's callback is registered as. A waiting progress report is brought up to date
// when it runs, which frees the place for the next one; a refused final report is retried.
DownloadCallback registered(const std::shared_ptr<DownloadState>& state) {
    return [state](const QVariantMap& report) {
        if (report.value(kType).toString() != QLatin1String("progress")) {
            const bool taken = state->callback(report);
            if (taken) {
                forgetState(state->requestId);
            } else {
                retryFinal(state, report);
            }
            return taken;
        }
        double received = 0, total = -1;
        {
            std::lock_guard<std::mutex> guard(state->mutex);
            state->progressWaiting = false;
            received = state->received;
            total = state->total;
        }
        return state->callback(progressReport(received, total));
    };
}

void onProgress(const std::shared_ptr<DownloadState>& state, qint64 received, qint64 total) {
    {
        std::lock_guard<std::mutex> guard(state->mutex);
        state->received = static_cast<double>(received);
        state->total = static_cast<double>(total);
        if (state->progressWaiting) return;
        state->progressWaiting = true;
    }
    const QVariantMap report =
        progressReport(static_cast<double>(received), static_cast<double>(total));
    if (delivery().deliver(state->requestId, report, false) == 0) {
        std::lock_guard<std::mutex> guard(state->mutex);
        state->progressWaiting = false;
    }
}

// A complete download is an installer the page starts once its digest matches (and deletes when
// it does not). Windows starts such a file as it is; POSIX only once it is marked executable.
void allowStartingDownload(const QString& requestId, const QString& path) {
    std::uint32_t error = 0;
    if (!platform::allowStarting(path.toUtf8().toStdString(), &error)) {
        logging::info("NativeUtil", "download {} saved to {} cannot be started: error {}",
                      requestId, path, error);
    }
}

void onFinished(const std::shared_ptr<DownloadState>& state, bool success,
                const QString& pathOrError) {
    if (success) allowStartingDownload(state->requestId, pathOrError);
    const QVariantMap report =
        success
            ? QVariantMap{{kType, QStringLiteral("done")}, {QStringLiteral("path"), pathOrError}}
            : QVariantMap{{kType, QStringLiteral("error")}, {QStringLiteral("error"), pathOrError}};
    if (delivery().deliver(state->requestId, report, true) == 0) retryFinal(state, report);
    QObject::disconnect(state->progressConnection);
    QObject::disconnect(state->finishedConnection);
}

}  // namespace

void setDownloadDelivery(DownloadDelivery replacement) {
    std::lock_guard<std::mutex> guard(g_deliveryMutex);
    g_delivery = std::move(replacement);
}

QString downloadUpdate(const QString& url, const QString& savePath, DownloadCallback callback) {
    // A relative path would put the installer wherever the process happens to stand, under a
    // name such as "C:\Temp\w.exe" on POSIX.
    const std::string windowsPath = savePath.toUtf8().toStdString();
    if (!platform::isAbsolutePath(windowsPath)) {
        logging::info("NativeUtil", "download of {} refused: save path {} is not absolute", url,
                      savePath);
        return {};
    }
    const QString hostPath = QString::fromUtf8(platform::localPath(windowsPath).c_str());
    const QString requestId = QStringLiteral("dl_%1").arg(++g_downloadCounter);
    auto state = std::make_shared<DownloadState>();
    state->requestId = requestId;
    state->callback = std::move(callback);
    {
        std::lock_guard<std::mutex> guard(g_statesMutex);
        g_states[requestId] = state;
    }
    delivery().registerCallback(requestId, registered(state));
    HttpClient* client = HttpClient::instance();
    state->progressConnection = QObject::connect(
        client, &HttpClient::downloadProgress, client,
        [state](const QString& id, qint64 received, qint64 total) {
            if (id == state->requestId) onProgress(state, received, total);
        },
        Qt::DirectConnection);
    state->finishedConnection = QObject::connect(
        client, &HttpClient::downloadFinished, client,
        [state](const QString& id, bool success, const QString& pathOrError) {
            if (id == state->requestId) onFinished(state, success, pathOrError);
        },
        Qt::DirectConnection);
    client->downloadFile(url, hostPath, requestId);
    return requestId;
}

QString cancelDownload(const QString& requestId) {
    std::shared_ptr<DownloadState> state;
    {
        std::lock_guard<std::mutex> guard(g_statesMutex);
        const auto found = g_states.find(requestId);
        if (found != g_states.end()) state = found->second.lock();
        if (found != g_states.end()) g_states.erase(found);
    }
    if (state) {
        std::lock_guard<std::mutex> guard(state->mutex);
        state->cancelled = true;
    }
    delivery().unregisterCallback(requestId);
    HttpClient::instance()->cancelDownload(requestId);
    return requestId;
}

}  // namespace pellanor::net
