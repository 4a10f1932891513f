// One file download of the HTTP client: the body streams into a temporary file beside the
// target, which takes the target's place only once every byte has arrived and been written.
// A failed or cancelled download therefore leaves the target folder as it was.
#pragma once

#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>

class QNetworkAccessManager;
class QNetworkReply;

namespace pellanor::net {

class DownloadJob final : public QObject {
    Q_OBJECT

public:
    DownloadJob(QNetworkAccessManager& manager, int inactivityMs, QString url, QString savePath,
                QObject* parent);

    // Sends the request and answers its reply; nullptr when the download ended at once
    // (refused address, no place to write), finished having been emitted. Owner thread.
    QNetworkReply* start();
    QNetworkReply* reply() const { return m_reply; }

signals:
    void progress(qint64 received, qint64 total);
    // Exactly once: the path written, or the error text.
    void finished(bool success, const QString& pathOrError);

private:
    bool openTemporaryFile();
    void writeAvailable();
    void onReplyFinished();
    QString completeFile();
    bool placeFile(QString* path, QString* error);
    void finish(bool success, const QString& pathOrError);

    QNetworkAccessManager& m_manager;
    int m_inactivityMs;
    QString m_url;
    QString m_savePath;
    QNetworkReply* m_reply = nullptr;
    QFile m_file;
    qint64 m_written = 0;
    QString m_writeError;
    QString m_temporaryPath;       // set once the file is ours, cleared once it is moved
    QStringList m_createdFolders;  // deepest last; removed again if nothing is saved
    bool m_finished = false;
};

// The name tried after `path` when it cannot be written: "<dir>/<base>_<n>.<suffix>", the base
// being everything before the last dot (so setup.exe, setup_1.exe, setup_1_2.exe). Pure.
QString alternativeSavePath(const QString& path, int attempt);

}  // namespace pellanor::net
