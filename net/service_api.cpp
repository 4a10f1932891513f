// The service endpoints. Request bodies always carry the device id and our version, whatever
// the page put under those names, so the service can trust them to describe the sender.
#include "net/service_api.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QUrl>

#include <mutex>

#include "log/logger.h"
#include "log/qt_format.h"
#include "net/device_identity.h"
#include "net/http_client.h"
#include "platform/network.h"
#include "product/product.h"

namespace pellanor::net {
namespace {

constexpr int kServiceTimeoutMs = 3000;

std::mutex g_languageMutex;
std::function<QString()> g_languageSource;

std::mutex g_consentMutex;
std::function<bool()> g_eventConsent;

// Called outside the lock: the consent may read settings, and may even be replaced meanwhile.
bool eventsAllowed() {
    std::function<bool()> allowed;
    {
        std::lock_guard<std::mutex> guard(g_consentMutex);
        allowed = g_eventConsent;
    }
    return !allowed || allowed();
}

QString language() {
    std::function<QString()> source;
    {
        std::lock_guard<std::mutex> guard(g_languageMutex);
        source = g_languageSource;
    }
    if (source) return source();
    return QLocale::system().uiLanguages().value(0);
}

// The tag goes into a query string: "&" or "#" in a stored setting must stay inside it.
QString versionQuery(const char* path) {
    return serviceBaseUrl() + QLatin1String(path) +
           QString::fromLatin1(QUrl::toPercentEncoding(language()));
}

QByteArray completedBody(const QString& text) {
    QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    object.insert(QStringLiteral("client_id"), getClientId());
    object.insert(QStringLiteral("app_version"), QLatin1String(product::kVersion));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

}  // namespace

QString serviceBaseUrl() {
    QString base = qEnvironmentVariable("PELLANOR_SERVICE_URL");
    if (base.isEmpty()) base = QLatin1String(product::kServiceBaseUrl);
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    return base;
}

void setLanguageSource(std::function<QString()> source) {
    std::lock_guard<std::mutex> guard(g_languageMutex);
    g_languageSource = std::move(source);
}

QString checkUpdate() {
    return HttpClient::instance()->getJson(versionQuery("/api/versions/latest/?lang="),
                                           kServiceTimeoutMs);
}

QString getVersionList() {
    return HttpClient::instance()->getJson(versionQuery("/api/versions/?lang="), kServiceTimeoutMs);
}

QString getAppInfo() {
    return HttpClient::instance()->getJson(serviceBaseUrl() + QLatin1String("/api/info/"),
                                           kServiceTimeoutMs);
}

bool submitFeedback(const QString& feedback) {
    const QString answer = HttpClient::instance()->postJson(
        serviceBaseUrl() + QLatin1String("/api/feedback/"),
        QString::fromUtf8(completedBody(feedback)), kServiceTimeoutMs);
    return !QJsonDocument::fromJson(answer.toUtf8()).object().contains(QStringLiteral("error"));
}

void setEventConsent(std::function<bool()> allowed) {
    std::lock_guard<std::mutex> guard(g_consentMutex);
    g_eventConsent = std::move(allowed);
}

bool reportEvent(const QString& event) {
    // The page's own text names the event: completing the body adds only our identity fields.
    const QString type = QJsonDocument::fromJson(event.toUtf8())
                             .object()
                             .value(QStringLiteral("event_type"))
                             .toString();
    if (!eventsAllowed()) {
        logging::info("Network", "reportEvent refused: usage data is off, event {} not sent", type);
        return false;
    }
    const QString url = serviceBaseUrl() + QLatin1String("/api/events/");
    logging::logger().debug(fmt::format("reportEvent async: {} to {}", type, url));
    // The page asked before calling, but the user can switch usage data off while a failed
    // event waits for its retry, so each attempt asks again, of the consent current then.
    HttpClient::instance()->postJsonAsync(url, QString::fromUtf8(completedBody(event)),
                                          eventsAllowed);
    return true;
}

bool isInternetAvailable() { return platform::hasDefaultRoute(); }

bool isNetworkConnected() {
    const bool connected = platform::isConnectedToInternet();
    logging::info("Network", "check network connection. connected: {}", connected);
    return connected;
}

}  // namespace pellanor::net
