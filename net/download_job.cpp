// Streaming a download to disk. The reply's buffer is bounded so memory stays flat whatever the
// file's size; every write is checked, and "done" needs the whole announced length on disk.
#include "net/download_job.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QUrl>

#include <filesystem>
#include <system_error>

#include "net/connectivity.h"
#include "net/http_client.h"
#include "net/reply_watch.h"
#include "product/product.h"

namespace pellanor::net {
namespace {

// What the network layer may hold unread, and what one write takes.
constexpr qint64 kReadBufferBytes = 1024 * 1024;
constexpr qint64 kChunkBytes = 256 * 1024;
constexpr int kAlternativeNames = 20;
constexpr int kTemporaryNameAttempts = 8;

// The page runs what it downloads: only a transfer nobody on the way can alter is accepted,
// and plain http only from this machine (a local update server, tests).
bool acceptedAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https")) return !url.host().isEmpty();
    return scheme == QLatin1String("http") && isLocalUrl(url);
}

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::u8path(path.toUtf8().toStdString());
}

}  // namespace

QString alternativeSavePath(const QString& path, int attempt) {
    const QFileInfo info(path);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('_') +
           QString::number(attempt) + QLatin1Char('.') + info.suffix();
}

DownloadJob::DownloadJob(QNetworkAccessManager& manager, int inactivityMs, QString url,
                         QString savePath, QObject* parent)
    : QObject(parent),
      m_manager(manager),
      m_inactivityMs(inactivityMs),
      m_url(std::move(url)),
      m_savePath(std::move(savePath)) {}

QNetworkReply* DownloadJob::start() {
    const QUrl url(m_url);
    if (!url.isValid() || !acceptedAddress(url)) {
        finish(false, QStringLiteral("download refused: only https, or http to this machine"));
        return nullptr;
    }
    if (!openTemporaryFile()) {
        finish(false, QStringLiteral("save file failed: %1").arg(m_file.errorString()));
        return nullptr;
    }
    QNetworkRequest request(url);
    request.setRawHeader("User-Agent", QByteArray(product::kName) + '/' + product::kVersion);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    m_reply = m_manager.get(request);
    m_reply->setReadBufferSize(kReadBufferBytes);
    detail::watchReply(m_reply, m_inactivityMs, 0);
    connect(m_reply, &QNetworkReply::readyRead, this, &DownloadJob::writeAvailable);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &DownloadJob::progress);
    connect(m_reply, &QNetworkReply::finished, this, &DownloadJob::onReplyFinished);
    return m_reply;
}

// Hidden and unique beside the target, so the final move is a rename on one volume.
bool DownloadJob::openTemporaryFile() {
    const QFileInfo target(m_savePath);
    if (m_savePath.isEmpty()) {
        m_file.setFileName(QString());
        return m_file.open(QIODevice::WriteOnly);  // fails, with the reason to report
    }
    QString missing = target.absolutePath();
    while (!missing.isEmpty() && !QFileInfo::exists(missing)) {
        m_createdFolders.prepend(missing);
        const QString parent = QFileInfo(missing).path();
        missing = parent == missing ? QString() : parent;
    }
    QDir().mkpath(target.absolutePath());
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const QString name =
            QStringLiteral("%1/.%2.%3.part")
                .arg(target.absolutePath(), target.fileName(),
                     QString::number(QRandomGenerator::global()->generate64(), 36));
        m_file.setFileName(name);
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            m_temporaryPath = name;
            return true;
        }
        if (!QFileInfo::exists(name)) break;
    }
    return false;
}

void DownloadJob::writeAvailable() {
    if (!m_writeError.isEmpty()) return;
    while (m_reply->bytesAvailable() > 0) {
        const QByteArray chunk = m_reply->read(kChunkBytes);
        if (chunk.isEmpty()) break;
        if (m_file.write(chunk) != chunk.size()) {
            m_writeError = m_file.errorString();
            m_reply->abort();
            return;
        }
        m_written += chunk.size();
    }
}

void DownloadJob::onReplyFinished() {
    writeAvailable();
    m_reply->deleteLater();
    QString description;
    const detail::Outcome outcome = detail::outcomeOf(m_reply, &description);
    if (!m_writeError.isEmpty()) {
        finish(false, QStringLiteral("save file failed: %1").arg(m_writeError));
    } else if (outcome != detail::Outcome::Success) {
        // A time-out's text is the bare "request timeout", which the page turns into its own
        // message; the JSON calls' error object would read as an unknown failure there.
        finish(false, description);
    } else {
        const QString error = completeFile();
        QString path;
        if (!error.isEmpty()) {
            finish(false, error);
        } else if (!placeFile(&path, &description)) {
            finish(false, QStringLiteral("save file failed: %1").arg(description));
        } else {
            finish(true, path);
        }
    }
}

// A connection closed early can still end without an error from the network layer.
QString DownloadJob::completeFile() {
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    const QByteArray encoding = m_reply->rawHeader("Content-Encoding").trimmed().toLower();
    // A compressed body's length counts compressed bytes; the layer checks those itself.
    const bool plain = encoding.isEmpty() || encoding == "identity";
    if (plain && length.isValid() && length.toLongLong() != m_written) {
        return QStringLiteral("incomplete download: %1 of %2 bytes")
            .arg(m_written)
            .arg(length.toLongLong());
    }
    m_file.close();
    if (m_file.error() != QFileDevice::NoError) {
        return QStringLiteral("save file failed: %1").arg(m_file.errorString());
    }
    return {};
}

// The target first (replacing a file, never a folder); then, if it still cannot be taken, the
// file is deleted and tried again; then up to 20 names that grow from it.
bool DownloadJob::placeFile(QString* path, QString* error) {
    const auto moveTo = [this, error](const QString& target) {
        std::error_code code;
        std::filesystem::rename(fsPath(m_temporaryPath), fsPath(target), code);
        if (code) *error = QString::fromStdString(code.message());
        return !code;
    };
    QString candidate = m_savePath;
    bool placed = moveTo(candidate);
    if (!placed && QFileInfo(candidate).isFile() && QFile::remove(candidate)) {
        placed = moveTo(candidate);
    }
    for (int attempt = 1; !placed && attempt <= kAlternativeNames; ++attempt) {
        candidate = alternativeSavePath(candidate, attempt);
        placed = moveTo(candidate);
    }
    if (placed) {
        m_temporaryPath.clear();
        *path = candidate;
    }
    return placed;
}

void DownloadJob::finish(bool success, const QString& pathOrError) {
    if (m_finished) return;
    m_finished = true;
    if (!success) {
        m_file.close();
        if (!m_temporaryPath.isEmpty()) QFile::remove(m_temporaryPath);
        // Folders made for this file go again, deepest first, as long as they are empty.
        for (auto it = m_createdFolders.crbegin(); it != m_createdFolders.crend(); ++it) {
            if (!QDir().rmdir(*it)) break;
        }
    }
    emit finished(success, pathOrError);
}

}  // namespace pellanor::net
