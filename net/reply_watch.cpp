// Reply rules shared by JSON calls and downloads. The markers live on the reply itself, so the
// finished handler reads why an abort happened from the reply it is handed.
#include "net/reply_watch.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <spdlog/details/os.h>

namespace pellanor::net::detail {
namespace {

constexpr char kTimedOut[] = "pellanorTimedOut";
constexpr char kTooLarge[] = "pellanorTooLarge";

}  // namespace

void watchReply(QNetworkReply* reply, int inactivityMs, qint64 maxBytes) {
    if (inactivityMs > 0) {
        auto* timer = new QTimer(reply);
        timer->setSingleShot(true);
        timer->setInterval(inactivityMs);
        QObject::connect(timer, &QTimer::timeout, reply, [reply] {
            reply->setProperty(kTimedOut, true);
            reply->abort();
        });
        const auto restart = [timer] { timer->start(); };
        QObject::connect(reply, &QNetworkReply::uploadProgress, timer, restart);
        QObject::connect(reply, &QNetworkReply::downloadProgress, timer, restart);
        QObject::connect(reply, &QNetworkReply::finished, timer, &QTimer::stop);
        timer->start();
    }
    if (maxBytes > 0) {
        QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                         [reply, maxBytes](qint64 received, qint64 total) {
                             if (received <= maxBytes && total <= maxBytes) return;
                             if (reply->property(kTooLarge).toBool()) return;
                             reply->setProperty(kTooLarge, true);
                             reply->abort();
                         });
    }
}

Outcome outcomeOf(QNetworkReply* reply, QString* description) {
    if (reply->property(kTimedOut).toBool()) {
        *description = QStringLiteral("request timeout");
        return Outcome::TimedOut;
    }
    if (reply->property(kTooLarge).toBool()) {
        *description = QStringLiteral("answer too large");
        return Outcome::Failure;
    }
    if (reply->error() != QNetworkReply::NoError) {
        *description = reply->errorString();
        return Outcome::Failure;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 300 && status < 400) {
        *description = QStringLiteral("redirect not followed: HTTP status %1").arg(status);
        return Outcome::Failure;
    }
    description->clear();
    return Outcome::Success;
}

QString errorJson(const QString& description) {
    const QJsonObject error{{QStringLiteral("error"), description}};
    return QString::fromUtf8(QJsonDocument(error).toJson(QJsonDocument::Compact));
}

std::size_t threadId() { return spdlog::details::os::thread_id(); }

}  // namespace pellanor::net::detail
