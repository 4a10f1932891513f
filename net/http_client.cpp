// The client's JSON calls, its ready step and the bookkeeping of its downloads. Every log line
// of the client is a plain debug message, except the cancellation line.
#include "net/http_client.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include "log/logger.h"
#include "log/qt_format.h"
#include "net/connectivity.h"
#include "net/download_job.h"
#include "net/reply_watch.h"
#include "product/product.h"

namespace pellanor::net {
namespace {

using detail::errorJson;
using detail::Outcome;
using detail::threadId;

constexpr int kMaxAttempts = 4;

template <typename... Args>
void trace(fmt::format_string<Args...> format, Args&&... args) {
    logging::logger().debug(fmt::format(format, std::forward<Args>(args)...));
}

const char* okText(bool ok) { return ok ? "ok" : "failed"; }

bool networkUsable(const QString& url) { return isLocalUrl(QUrl(url)) || isInternetConnected(); }

std::atomic<bool> g_created{false};

}  // namespace

HttpClient* HttpClient::instance() {
    static HttpClient* client = [] {
        auto* created = new HttpClient();  // lives until the process ends
        g_created = true;
        return created;
    }();
    return client;
}

bool HttpClient::exists() { return g_created; }

HttpClient::HttpClient() : m_manager(new QNetworkAccessManager(this)) {
    trace("HttpClient created in thread {}", threadId());
    // Runs once the owner thread's event loop (or a nested one) handles events.
    QMetaObject::invokeMethod(
        this, [this] { becomeReady(); }, Qt::QueuedConnection);
}

void HttpClient::setLimits(const HttpLimits& limits) {
    std::lock_guard<std::mutex> guard(m_limitsMutex);
    m_limits = limits;
}

HttpLimits HttpClient::limits() const {
    std::lock_guard<std::mutex> guard(m_limitsMutex);
    return m_limits;
}

bool HttpClient::onOwnerThread() const { return QThread::currentThread() == thread(); }

bool HttpClient::isIdle() const {
    if (m_busy > 0) return false;
    std::lock_guard<std::mutex> guard(m_pendingMutex);
    return m_pendingRequests.empty();
}

bool HttpClient::waitUntilIdle(int timeoutMs) {
    QTimer deadline;
    deadline.setSingleShot(true);
    bool expired = false;
    connect(&deadline, &QTimer::timeout, [&expired] { expired = true; });
    deadline.start(timeoutMs);
    while (!isIdle() && !expired) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return isIdle();
}

QNetworkRequest HttpClient::jsonRequest(const QString& url) const {
    QNetworkRequest request{QUrl(url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setRawHeader("X-App-Id", QByteArray::number(product::kId));
    request.setRawHeader(
        "User-Agent", QStringLiteral("%1/%2 (%3; %4)")
                          .arg(QLatin1String(product::kName), QLatin1String(product::kVersion),
                               QSysInfo::productType(), QSysInfo::productVersion())
                          .toUtf8());
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    return request;
}

// ---- synchronous calls

QString HttpClient::getJson(const QString& url, int timeoutMs) {
    return callSynchronously("doGetJson", url, nullptr, timeoutMs);
}

QString HttpClient::postJson(const QString& url, const QString& body, int timeoutMs) {
    return callSynchronously("doPostJson", url, &body, timeoutMs);
}

QString HttpClient::callSynchronously(const char* slot, const QString& url, const QString* body,
                                      int timeoutMs) {
    if (!networkUsable(url)) return QLatin1String(kNetworkDisconnected);
    if (!isServerReachable(QUrl(url), limits().reachabilityMs)) {
        return QLatin1String(kServerUnreachable);
    }
    if (onOwnerThread())
        return body ? doPostJson(url, *body, timeoutMs) : doGetJson(url, timeoutMs);
    QString result;
    const bool invoked =
        body ? QMetaObject::invokeMethod(this, slot, Qt::BlockingQueuedConnection,
                                         Q_RETURN_ARG(QString, result), Q_ARG(QString, url),
                                         Q_ARG(QString, *body), Q_ARG(int, timeoutMs))
             : QMetaObject::invokeMethod(this, slot, Qt::BlockingQueuedConnection,
                                         Q_RETURN_ARG(QString, result), Q_ARG(QString, url),
                                         Q_ARG(int, timeoutMs));
    // An empty answer would read as success to callers that look only for "error".
    if (!invoked) {
        trace("{} invokeMethod failed for {}", slot, url);
        return errorJson(QStringLiteral("request not started"));
    }
    return result;
}

QString HttpClient::doGetJson(const QString& url, int timeoutMs) {
    trace("doGetJson executing in thread {}, url={}", threadId(), url);
    const QString result = waitForReply(m_manager->get(jsonRequest(url)), timeoutMs);
    trace("doGetJson finished for {}: {}", url, result);
    return result;
}

QString HttpClient::doPostJson(const QString& url, const QString& body, int timeoutMs) {
    trace("doPostJson executing in thread {}, url={}", threadId(), url);
    const QString result =
        waitForReply(m_manager->post(jsonRequest(url), body.toUtf8()), timeoutMs);
    trace("doPostJson finished for {}: {}", url, result);
    return result;
}

void HttpClient::watchReply(QNetworkReply* reply, bool json) {
    const HttpLimits current = limits();
    detail::watchReply(reply, json ? 0 : current.inactivityMs, current.maxJsonBytes);
}

// The reply decides, not the loop: a loop that ends because the application quits under it
// leaves the reply unfinished, which is a time-out, not an empty success.
QString HttpClient::waitForReply(QNetworkReply* reply, int timeoutMs) {
    watchReply(reply, true);
    ++m_busy;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    if (!reply->isFinished()) loop.exec();
    QString result;
    if (!reply->isFinished()) {
        result = QLatin1String(kRequestTimeout);
        trace("waitForReply timeout for reply={}", fmt::ptr(reply));
        reply->abort();
    } else {
        timer.stop();
        QString description;
        if (detail::outcomeOf(reply, &description) == Outcome::Success) {
            result = QString::fromUtf8(reply->readAll());
            trace("waitForReply success for reply={}", fmt::ptr(reply));
        } else {
            result = errorJson(description);
            trace("waitForReply error for reply={}: {}", fmt::ptr(reply), description);
        }
    }
    --m_busy;
    reply->deleteLater();
    return result;
}

// ---- asynchronous calls

bool HttpClient::queueIfNotReady(const PendingRequest& request, const char* caller) {
    if (m_ready) return false;
    std::lock_guard<std::mutex> guard(m_pendingMutex);
    if (m_ready) return false;
    m_pendingRequests.push_back(request);
    trace("{} queued, total pending={}", caller, m_pendingRequests.size());
    return true;
}

void HttpClient::postJsonAsync(const QString& url, const QString& body, StillWanted stillWanted) {
    if (!networkUsable(url)) {
        trace("postJsonAsync skipped: network disconnected for {}", url);
        return;
    }
    trace("postJsonAsync called in thread {}, ready={}, url={}", threadId(), m_ready.load(), url);
    if (queueIfNotReady({url, body, QString(), false, stillWanted}, "postJsonAsync")) return;
    const bool ok = startPostJsonAsync(url, body, stillWanted);
    trace("postJsonAsync invoked doPostJsonAsync for {}: {}", url, okText(ok));
}

void HttpClient::postJsonAsyncWithCallback(const QString& url, const QString& body,
                                           const QString& requestId) {
    if (!networkUsable(url)) {
        trace("postJsonAsyncWithCallback skipped: network disconnected for {}", url);
        emit asyncPostFinished(requestId, QLatin1String(kNetworkDisconnected));
        return;
    }
    if (!isServerReachable(QUrl(url), limits().reachabilityMs)) {
        trace("postJsonAsyncWithCallback skipped: server unreachable for {}", url);
        emit asyncPostFinished(requestId, QLatin1String(kServerUnreachable));
        return;
    }
    trace("postJsonAsyncWithCallback called in thread {}, ready={}, requestId={}, url={}",
          threadId(), m_ready.load(), requestId, url);
    if (queueIfNotReady({url, body, requestId, false, {}}, "postJsonAsyncWithCallback")) return;
    const bool ok = QMetaObject::invokeMethod(this, "doPostJsonAsyncWithCallback",
                                              Qt::AutoConnection, Q_ARG(QString, url),
                                              Q_ARG(QString, body), Q_ARG(QString, requestId));
    trace("postJsonAsyncWithCallback invoked doPostJsonAsyncWithCallback for {}: {}", requestId,
          okText(ok));
}

void HttpClient::getJsonAsyncWithCallback(const QString& url, const QString& requestId) {
    if (!networkUsable(url)) {
        trace("getJsonAsyncWithCallback skipped: network disconnected for {}", url);
        emit asyncGetFinished(requestId, QLatin1String(kNetworkDisconnected));
        return;
    }
    if (!isServerReachable(QUrl(url), limits().reachabilityMs)) {
        trace("getJsonAsyncWithCallback skipped: server unreachable for {}", url);
        emit asyncGetFinished(requestId, QLatin1String(kServerUnreachable));
        return;
    }
    trace("getJsonAsyncWithCallback called in thread {}, ready={}, requestId={}, url={}",
          threadId(), m_ready.load(), requestId, url);
    if (queueIfNotReady({url, QString(), requestId, true, {}}, "getJsonAsyncWithCallback")) return;
    const bool ok =
        QMetaObject::invokeMethod(this, "doGetJsonAsyncWithCallback", Qt::AutoConnection,
                                  Q_ARG(QString, url), Q_ARG(QString, requestId));
    trace("getJsonAsyncWithCallback invoked doGetJsonAsyncWithCallback for {}: {}", requestId,
          okText(ok));
}

void HttpClient::becomeReady() {
    std::vector<PendingRequest> pending;
    {
        std::lock_guard<std::mutex> guard(m_pendingMutex);
        m_ready = true;
        pending.swap(m_pendingRequests);
    }
    trace("HttpClient event loop ready, flushing {} pending async requests in thread {}",
          pending.size(), threadId());
    for (const PendingRequest& request : pending) {
        if (request.requestId.isEmpty()) {
            const bool ok = startPostJsonAsync(request.url, request.body, request.stillWanted);
            trace("Flush pending async invoke to {}: {}", request.url, okText(ok));
            continue;
        }
        const bool ok = request.isGet
                            ? QMetaObject::invokeMethod(
                                  this, "doGetJsonAsyncWithCallback", Qt::AutoConnection,
                                  Q_ARG(QString, request.url), Q_ARG(QString, request.requestId))
                            : QMetaObject::invokeMethod(
                                  this, "doPostJsonAsyncWithCallback", Qt::AutoConnection,
                                  Q_ARG(QString, request.url), Q_ARG(QString, request.body),
                                  Q_ARG(QString, request.requestId));
        trace("Flush pending async invoke with callback to {}: {}", request.requestId, okText(ok));
    }
}

// A functor, not a named slot: the predicate cannot travel as a queued slot argument.
bool HttpClient::startPostJsonAsync(const QString& url, const QString& body,
                                    const StillWanted& stillWanted) {
    return QMetaObject::invokeMethod(
        this, [this, url, body, stillWanted] { doPostJsonAsyncImpl(url, body, 0, stillWanted); },
        Qt::AutoConnection);
}

// The predicate is asked here, at the moment of sending, because what made the post unwanted
// (a setting switched off, say) can change during the wait for a retry or for the ready step.
void HttpClient::doPostJsonAsyncImpl(const QString& url, const QString& body, int retry,
                                     const StillWanted& stillWanted) {
    if (stillWanted && !stillWanted()) {
        trace("Async request no longer wanted, attempt {} dropped for {}", retry + 1, url);
        return;
    }
    trace("doPostJsonAsyncImpl executing in thread {}, url={}, retry={}", threadId(), url, retry);
    QNetworkReply* reply = m_manager->post(jsonRequest(url), body.toUtf8());
    trace("doPostJsonAsyncImpl posted request, reply={}", fmt::ptr(reply));
    watchReply(reply, false);
    ++m_busy;
    connect(reply, &QNetworkReply::finished, this, [this, reply, url, body, retry, stillWanted] {
        QString description;
        const bool failed = detail::outcomeOf(reply, &description) != Outcome::Success;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        trace("Async reply finished, reply={}, error={} ({}), http_status={}", fmt::ptr(reply),
              static_cast<int>(reply->error()), description, status);
        if (failed && retry < kMaxAttempts - 1) {
            trace("Async request failed, scheduling retry {}/3 for {}", retry + 1, url);
            ++m_busy;
            QTimer::singleShot(limits().retryDelayMs, this, [this, url, body, retry, stillWanted] {
                --m_busy;
                doPostJsonAsyncImpl(url, body, retry + 1, stillWanted);
            });
        } else if (failed) {
            trace("Async request failed after {} retries, giving up: {}", kMaxAttempts - 1,
                  description);
        }
        --m_busy;
        reply->deleteLater();
    });
}

void HttpClient::doPostJsonAsyncWithCallback(const QString& url, const QString& body,
                                             const QString& requestId) {
    trace("doPostJsonAsyncWithCallback executing in thread {}, requestId={}, url={}", threadId(),
          requestId, url);
    QNetworkReply* reply = m_manager->post(jsonRequest(url), body.toUtf8());
    trace("doPostJsonAsyncWithCallback posted request, reply={}", fmt::ptr(reply));
    finishCallbackRequest(reply, "doPostJsonAsyncWithCallback", requestId, false);
}

void HttpClient::doGetJsonAsyncWithCallback(const QString& url, const QString& requestId) {
    trace("doGetJsonAsyncWithCallback executing in thread {}, requestId={}, url={}", threadId(),
          requestId, url);
    QNetworkReply* reply = m_manager->get(jsonRequest(url));
    trace("doGetJsonAsyncWithCallback posted request, reply={}", fmt::ptr(reply));
    finishCallbackRequest(reply, "doGetJsonAsyncWithCallback", requestId, true);
}

void HttpClient::finishCallbackRequest(QNetworkReply* reply, const char* slot,
                                       const QString& requestId, bool isGet) {
    watchReply(reply, false);
    ++m_busy;
    connect(reply, &QNetworkReply::finished, this, [this, reply, slot, requestId, isGet] {
        QString description;
        const Outcome outcome = detail::outcomeOf(reply, &description);
        QString result;
        if (outcome == Outcome::Success) {
            result = QString::fromUtf8(reply->readAll());
            trace("{} success for requestId={}", slot, requestId);
        } else {
            result = outcome == Outcome::TimedOut ? QLatin1String(kRequestTimeout)
                                                  : errorJson(description);
            trace("{} error for requestId={}: {}", slot, requestId, description);
        }
        if (isGet) {
            emit asyncGetFinished(requestId, result);
        } else {
            emit asyncPostFinished(requestId, result);
        }
        --m_busy;
        reply->deleteLater();
    });
}

// ---- downloads

QString HttpClient::downloadFile(const QString& url, const QString& savePath,
                                 const QString& requestId) {
    trace("downloadFile requested from thread {}, requestId={}", threadId(), requestId);
    if (onOwnerThread()) {
        doDownloadFile(url, savePath, requestId);
    } else if (!QMetaObject::invokeMethod(this, "doDownloadFile", Qt::QueuedConnection,
                                          Q_ARG(QString, url), Q_ARG(QString, savePath),
                                          Q_ARG(QString, requestId))) {
        trace("downloadFile invokeMethod failed for requestId={}", requestId);
    }
    return requestId;
}

void HttpClient::doDownloadFile(const QString& url, const QString& savePath,
                                const QString& requestId) {
    trace("doDownloadFile executing in thread {}, requestId={}, url={}", threadId(), requestId,
          url);
    ++m_busy;
    auto* job = new DownloadJob(*m_manager, limits().inactivityMs, url, savePath, this);
    connect(job, &DownloadJob::progress, this, [this, requestId](qint64 received, qint64 total) {
        emit downloadProgress(requestId, received, total);
    });
    connect(job, &DownloadJob::finished, this,
            [this, job, requestId](bool success, const QString& pathOrError) {
                {
                    std::lock_guard<std::mutex> guard(m_downloadsMutex);
                    const auto found = m_activeDownloads.find(requestId);
                    if (found != m_activeDownloads.end() && found->second == job->reply()) {
                        m_activeDownloads.erase(found);
                    }
                }
                if (success) {
                    trace("doDownloadFile saved requestId={} to {}", requestId, pathOrError);
                } else if (pathOrError.startsWith(QLatin1String("save file failed: "))) {
                    trace("doDownloadFile save failed for requestId={}: {}", requestId,
                          pathOrError);
                } else {
                    trace("doDownloadFile error for requestId={}: {}", requestId, pathOrError);
                }
                emit downloadFinished(requestId, success, pathOrError);
                --m_busy;
                job->deleteLater();
            });
    if (QNetworkReply* reply = job->start()) {
        std::lock_guard<std::mutex> guard(m_downloadsMutex);
        m_activeDownloads[requestId] = reply;
    }
}

// Replies belong to the owner thread: a cancel from elsewhere is handed to it.
void HttpClient::cancelDownload(const QString& requestId) {
    if (!onOwnerThread()) {
        QMetaObject::invokeMethod(
            this, [this, requestId] { cancelDownload(requestId); }, Qt::QueuedConnection);
        return;
    }
    QNetworkReply* reply = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_downloadsMutex);
        const auto found = m_activeDownloads.find(requestId);
        if (found == m_activeDownloads.end()) return;
        reply = found->second;
        m_activeDownloads.erase(found);
    }
    logging::info("HttpClient", "canceling download requestId={}", requestId);
    reply->abort();
}

}  // namespace pellanor::net
