// URL requests of our schemes. Handled on the UI thread, so a page's synchronous call returns as
// soon as the native method does.
#include "engine/src/scheme.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMimeDatabase>
#include <QUrl>
#include <QUrlQuery>
#include <QWebEngineUrlRequestJob>

#include "engine/src/file_icons.h"
#include "engine/src/host.h"
#include "engine/src/invoke.h"
#include "engine/src/kept_texts.h"
#include "engine/src/script_objects.h"
#include "engine/src/window.h"

namespace engine {

namespace {

// Off unless asked for (QT_LOGGING_RULES="sciter.icons.debug=true"): a list of programs
// without icons would otherwise write a line per row.
Q_LOGGING_CATEGORY(lcIcons, "sciter.icons", QtInfoMsg)
Q_LOGGING_CATEGORY(lcTexts, "sciter.texts")

void reply(QWebEngineUrlRequestJob* job, const QByteArray& mime, const QByteArray& data) {
    auto* buffer = new QBuffer(job);
    buffer->setData(data);
    job->reply(mime, buffer);
}

QByteArray mimeFor(const QString& path) {
    static const QMimeDatabase database;
    const QString fileName = path.section(QLatin1Char('?'), 0, 0);
    if (fileName.endsWith(QLatin1String(".js"), Qt::CaseInsensitive)) {
        return QByteArrayLiteral("text/javascript");
    }
    return database.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).name().toLatin1();
}

// The host callback of the newest window that has one answers for every window: all windows
// share one profile, so a request does not say which window it came from, and every window of
// the program installs the same loader.
bool askHosts(const QString& url, QByteArray& data) {
    Host* host = Host::existing();
    if (!host) return false;
    const std::vector<Window*> windows = host->windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if ((*it)->askHost(url, data)) return true;
    }
    return false;
}

bool fromPagesFolder(const QString& url, QByteArray& data) {
    Host* host = Host::existing();
    if (!host) return false;
    const std::optional<QString> file = pagesFolderFile(host->pagesFolder(), url);
    if (!file) return false;
    QFile item(*file);
    if (!item.open(QIODevice::ReadOnly)) return false;
    data = item.readAll();
    return true;
}

bool isEnginePath(const QUrl& url, const char* path) {
    return url.scheme() == QLatin1String(kArchiveScheme) && url.host() == QLatin1String("app") &&
           url.path() == QLatin1String(path);
}

// Native calls and file icons reach past the archive, so only our own pages may ask for them.
bool fromOurPages(const QWebEngineUrlRequestJob* job) {
    return job->initiator() == QUrl(QString::fromLatin1(kArchiveRoot));
}

}  // namespace

std::optional<QString> pagesFolderFile(const QString& folder, const QString& url) {
    const QString prefix = QString::fromLatin1(kArchiveRoot) + QLatin1Char('/');
    if (!url.startsWith(prefix)) return {};
    QString relative =
        url.mid(prefix.size()).section(QLatin1Char('?'), 0, 0).section(QLatin1Char('#'), 0, 0);
    while (relative.startsWith(QLatin1Char('/'))) relative.remove(0, 1);
    relative = QUrl::fromPercentEncoding(relative.toUtf8());
    const QString root = QDir::cleanPath(QDir(folder).absolutePath());
    const QString path = QDir::cleanPath(root + QLatin1Char('/') + relative);
    if (relative.isEmpty() || !path.startsWith(root + QLatin1Char('/'))) return {};
    return path;
}

void SchemeHandler::answerIcon(QWebEngineUrlRequestJob* job) {
    const QUrlQuery query(job->requestUrl());
    const QString path = query.queryItemValue(QStringLiteral("path"), QUrl::FullyDecoded);
    if (!fromOurPages(job)) {
        qCDebug(lcIcons) << "sciter: icon request refused, initiator" << job->initiator() << "path"
                         << path;
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    const int size = iconSizeFrom(query.queryItemValue(QStringLiteral("size")));
    const FileIcon icon = m_icons.icon(path, size);
    if (icon.png.isEmpty()) {
        qCDebug(lcIcons) << "sciter: no icon for" << path << "size" << size << "-" << icon.reason;
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    reply(job, QByteArrayLiteral("image/png"), icon.png);
}

void SchemeHandler::answerText(QWebEngineUrlRequestJob* job) {
    if (!fromOurPages(job)) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    const QString id = QUrlQuery(job->requestUrl()).queryItemValue(QStringLiteral("id"));
    std::optional<QByteArray> text = kept_texts::take(id);
    if (!text) {
        // The call that kept it has ended, or it was taken already: either way never twice.
        qCWarning(lcTexts) << "sciter: no kept text" << id;
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    reply(job, QByteArrayLiteral("text/plain; charset=utf-8"), *text);
}

void SchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const QUrl url = job->requestUrl();
    if (isEnginePath(url, kCallPath)) {
        if (!fromOurPages(job)) {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        reply(job, QByteArrayLiteral("application/json"), answerCall(QUrlQuery(url)));
        return;
    }
    if (isEnginePath(url, kIconPath)) {
        answerIcon(job);
        return;
    }
    if (isEnginePath(url, kTextPath)) {
        answerText(job);
        return;
    }
    if (isEnginePath(url, kAnswerPath)) {
        if (!fromOurPages(job)) {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        answerLater(QUrlQuery(url).queryItemValue(QStringLiteral("token")));
        reply(job, QByteArrayLiteral("text/plain"), QByteArray());
        return;
    }
    const QString text = url.toString();
    QByteArray data;
    if (askHosts(text, data) || fromPagesFolder(text, data)) {
        reply(job, mimeFor(url.path()), data);
        return;
    }
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
}

}  // namespace engine
