// HttpClient: the one object through which the program talks HTTP. JSON calls in three
// flavours (synchronous with a time limit, fire-and-forget with retries, completion by signal)
// and file downloads with progress and cancellation. It carries request and answer texts
// without parsing them.
//
// It belongs to the thread that first asks for it (the UI thread in the program); replies,
// retries and signals for network outcomes happen there, on that thread's event loop. Public
// operations may be called from any thread.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

namespace pellanor::net {

// The fixed failure texts of JSON calls; any other failure is {"error": description}.
inline constexpr char kNetworkDisconnected[] = R"({"error":"network disconnected"})";
inline constexpr char kServerUnreachable[] = R"({"error":"server unreachable"})";
inline constexpr char kRequestTimeout[] = R"({"error":"request timeout"})";

// The client's limits. Tests shorten them; the program uses these.
struct HttpLimits {
    int reachabilityMs = 500;               // the TCP pre-check
    int inactivityMs = 30000;               // no byte moved for this long ends a request
    int retryDelayMs = 1000;                // between attempts of a fire-and-forget post
    qint64 maxJsonBytes = 8 * 1024 * 1024;  // a larger answer to a JSON call is an error
};

class HttpClient final : public QObject {
    Q_OBJECT

public:
    // The process-wide client, created on first use on the calling thread; never destroyed.
    static HttpClient* instance();
    // Whether instance() has been called; lets a caller wait for the client without making it.
    static bool exists();

    // Synchronous calls: the answer body as UTF-8 text, or an error text. Block the calling
    // thread for the pre-checks and at most `timeoutMs` (on the owner thread inside a nested
    // event loop, which keeps other events flowing).
    QString getJson(const QString& url, int timeoutMs);
    QString postJson(const QString& url, const QString& body, int timeoutMs);

    // Asked on the owner thread before each attempt of a fire-and-forget post; false drops
    // that attempt and every later one. Empty means always wanted.
    using StillWanted = std::function<bool()>;

    // Fire-and-forget POST, tried up to 4 times 1 s apart; failures reach only the log. A post
    // that may stop being wanted before it goes out gives `stillWanted`: it is asked before
    // every attempt, the first included, also for a request queued before the client was ready.
    // A refused attempt is dropped with a log line and nothing follows it.
    void postJsonAsync(const QString& url, const QString& body, StillWanted stillWanted = {});
    // Exactly one asyncPostFinished / asyncGetFinished per call, with the body or an error
    // text; an early pre-check failure is emitted on the calling thread before returning.
    void postJsonAsyncWithCallback(const QString& url, const QString& body,
                                   const QString& requestId);
    void getJsonAsyncWithCallback(const QString& url, const QString& requestId);

    // Starts a download to `savePath` and returns `requestId`; downloadProgress reports it and
    // exactly one downloadFinished ends it. Only https, or http to this machine, is fetched.
    QString downloadFile(const QString& url, const QString& savePath, const QString& requestId);
    // Aborts a running download (on the owner thread); it still ends with downloadFinished,
    // false. An unknown id does nothing.
    void cancelDownload(const QString& requestId);

    void setLimits(const HttpLimits& limits);
    HttpLimits limits() const;

    // True when no request is queued, in flight or waiting for a retry.
    bool isIdle() const;
    // Runs the owner thread's events until the client is idle or `timeoutMs` has passed;
    // true when idle. Owner thread only.
    bool waitUntilIdle(int timeoutMs);

signals:
    void downloadProgress(const QString& requestId, qint64 received, qint64 total);
    void downloadFinished(const QString& requestId, bool success, const QString& pathOrError);
    void asyncPostFinished(const QString& requestId, const QString& result);
    void asyncGetFinished(const QString& requestId, const QString& result);

private slots:
    QString doGetJson(const QString& url, int timeoutMs);
    QString doPostJson(const QString& url, const QString& body, int timeoutMs);
    void doPostJsonAsyncWithCallback(const QString& url, const QString& body,
                                     const QString& requestId);
    void doGetJsonAsyncWithCallback(const QString& url, const QString& requestId);
    void doDownloadFile(const QString& url, const QString& savePath, const QString& requestId);

private:
    struct PendingRequest {
        QString url;
        QString body;
        QString requestId;
        bool isGet;
        StillWanted stillWanted;  // fire-and-forget posts only
    };

    HttpClient();
    bool onOwnerThread() const;
    QString callSynchronously(const char* slot, const QString& url, const QString* body,
                              int timeoutMs);
    bool queueIfNotReady(const PendingRequest& request, const char* caller);
    void becomeReady();
    QNetworkRequest jsonRequest(const QString& url) const;
    void watchReply(QNetworkReply* reply, bool json);
    QString waitForReply(QNetworkReply* reply, int timeoutMs);
    bool startPostJsonAsync(const QString& url, const QString& body,
                            const StillWanted& stillWanted);
    void doPostJsonAsyncImpl(const QString& url, const QString& body, int retry,
                             const StillWanted& stillWanted);
    void finishCallbackRequest(QNetworkReply* reply, const char* slot, const QString& requestId,
                               bool isGet);

    QNetworkAccessManager* m_manager;
    mutable std::mutex m_pendingMutex;
    std::vector<PendingRequest> m_pendingRequests;
    // Read once without the lock; an atomic, since other threads read what the owner sets.
    std::atomic<bool> m_ready{false};
    std::mutex m_downloadsMutex;
    std::map<QString, QNetworkReply*> m_activeDownloads;
    // Requests in flight and retries waiting, for isIdle.
    std::atomic<int> m_busy{0};
    mutable std::mutex m_limitsMutex;
    HttpLimits m_limits;
};

}  // namespace pellanor::net
