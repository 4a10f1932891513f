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
#include <map>
#include <memory>
#include <mutex>

#include "log/logger.h"
#include "log/qt_format.h"
#include "net/http_client.h"

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
                    logging::debug("NativeUtil",
                                   "OnDownloadUiThreadCallback: requestId={} no longer active, skip",
                                   requestId);
                    return;
                }
                callback = found->second;
                if (final) g_standInCallbacks.erase(found);
            }
            callback(report);
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
    QMetaObject::Connection progressConnection;
    QMetaObject::Connection finishedConnection;
    std::mutex mutex;
    bool progressWaiting = false;
    double received = 0;
    double total = -1;
};

QVariantMap progressReport(double received, double total) {
    return {{kType, QStringLiteral("progress")},
            {QStringLiteral("received"), received},
            {QStringLiteral("total"), total}};
}

void deliverFinal(const QString& requestId, const QVariantMap& report, int retriesLeft) {
    if (delivery().deliver(requestId, report, true) != 0) return;
    if (retriesLeft == 0) {
        logging::info("NativeUtil", "final report of {} could not be delivered", requestId);
        return;
    }
    QTimer::singleShot(kFinalRetryMs, HttpClient::instance(), [requestId, report, retriesLeft] {
        deliverFinal(requestId, report, retriesLeft - 1);
    });
}

void onProgress(const std::shared_ptr<DownloadState>& state, const QString& requestId,
                qint64 received, qint64 total) {
    {
        std::lock_guard<std::mutex> guard(state->mutex);
        state->received = static_cast<double>(received);
        state->total = static_cast<double>(total);
        if (state->progressWaiting) return;
        state->progressWaiting = true;
    }
    const QVariantMap report = progressReport(static_cast<double>(received), static_cast<double>(total));
    if (delivery().deliver(requestId, report, false) == 0) {
        std::lock_guard<std::mutex> guard(state->mutex);
        state->progressWaiting = false;
    }
}

// What the page's callback is registered as: a waiting progress report is brought up to date
// when it runs, which frees the place for the next one.
DownloadCallback latestProgress(const std::shared_ptr<DownloadState>& state,
                                DownloadCallback callback) {
    return [state, callback](const QVariantMap& report) {
        if (report.value(kType).toString() != QLatin1String("progress")) {
            callback(report);
            return;
        }
        double received = 0, total = -1;
        {
            std::lock_guard<std::mutex> guard(state->mutex);
            state->progressWaiting = false;
            received = state->received;
            total = state->total;
        }
        callback(progressReport(received, total));
    };
}

}  // namespace

void setDownloadDelivery(DownloadDelivery replacement) {
    std::lock_guard<std::mutex> guard(g_deliveryMutex);
    g_delivery = std::move(replacement);
}

QString downloadUpdate(const QString& url, const QString& savePath, DownloadCallback callback) {
    const QString requestId = QStringLiteral("dl_%1").arg(++g_downloadCounter);
    auto state = std::make_shared<DownloadState>();
    delivery().registerCallback(requestId, latestProgress(state, std::move(callback)));
    HttpClient* client = HttpClient::instance();
    state->progressConnection = QObject::connect(
        client, &HttpClient::downloadProgress, client,
        [state, requestId](const QString& id, qint64 received, qint64 total) {
            if (id == requestId) onProgress(state, requestId, received, total);
        },
        Qt::DirectConnection);
    state->finishedConnection = QObject::connect(
        client, &HttpClient::downloadFinished, client,
        [state, requestId](const QString& id, bool success, const QString& pathOrError) {
            if (id != requestId) return;
            const QVariantMap report =
                success ? QVariantMap{{kType, QStringLiteral("done")},
                                      {QStringLiteral("path"), pathOrError}}
                        : QVariantMap{{kType, QStringLiteral("error")},
                                      {QStringLiteral("error"), pathOrError}};
            deliverFinal(requestId, report, kFinalRetries);
            QObject::disconnect(state->progressConnection);
            QObject::disconnect(state->finishedConnection);
        },
        Qt::DirectConnection);
    client->downloadFile(url, savePath, requestId);
    return requestId;
}

QString cancelDownload(const QString& requestId) {
    delivery().unregisterCallback(requestId);
    HttpClient::instance()->cancelDownload(requestId);
    return requestId;
}

}  // namespace pellanor::net
