// The misbehaving local service of the network tests (test_service.py), started on 127.0.0.1
// for one test and gone with it; and the certificates its HTTPS variants present, made by the
// openssl command in a temp folder and trusted only inside this test process.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QVector>

namespace pellanor::test_support {

// Qt's event loop for the tests; created once per test program.
inline QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "net_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

struct RecordedRequest {
    QString method;
    QString path;
    QMap<QString, QString> headers;  // names lower-cased
    QByteArray body;
};

class TestService final {
public:
    explicit TestService(const QStringList& options = {}) {
        m_log = m_folder.filePath(QStringLiteral("requests.log"));
        m_process.setProgram(QStringLiteral("python3"));
        m_process.setArguments(QStringList{QStringLiteral(PELLANOR_TEST_SERVICE),
                                           QStringLiteral("--log"), m_log,
                                           QStringLiteral("--lifetime"), QStringLiteral("90")} +
                               options);
        m_process.start();
        // The port line comes first; the service prints it once it listens.
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(10000)) return;
        }
        const QByteArray line = m_process.readLine().trimmed();
        if (line.startsWith("PORT ")) m_port = line.mid(5).toInt();
    }
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;
    ~TestService() {
        m_process.closeWriteChannel();  // the service ends when its input closes
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    bool running() const { return m_port > 0; }
    int port() const { return m_port; }
    QString url(const QString& path, const char* scheme = "http") const {
        return QStringLiteral("%1://127.0.0.1:%2%3")
            .arg(QLatin1String(scheme))
            .arg(m_port)
            .arg(path);
    }

    QList<RecordedRequest> requests() const {
        QFile file(m_log);
        QList<RecordedRequest> all;
        if (!file.open(QIODevice::ReadOnly)) return all;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            if (entry.isEmpty()) continue;
            RecordedRequest request{
                entry.value(QStringLiteral("method")).toString(),
                entry.value(QStringLiteral("path")).toString(),
                {},
                QByteArray::fromHex(entry.value(QStringLiteral("body")).toString().toLatin1())};
            for (const QJsonValue& pair : entry.value(QStringLiteral("headers")).toArray()) {
                request.headers.insert(pair.toArray().at(0).toString().toLower(),
                                       pair.toArray().at(1).toString());
            }
            all.append(request);
        }
        return all;
    }

private:
    QTemporaryDir m_folder;
    QString m_log;
    QProcess m_process;
    int m_port = 0;
};

// A port on 127.0.0.1 where nothing listens: taken, then given back.
inline int refusedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    const int port = server.serverPort();
    server.close();
    return port;
}

// A test CA, a certificate it signs for 127.0.0.1, one it signs for another name, and one for
// 127.0.0.1 from a CA nobody trusts. Each pair is "<name>.pem" and "<name>.key" in folder().
class TestCertificates final {
public:
    TestCertificates() {
        m_ready =
            openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                     "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj",
                     "/CN=Pellanor Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
                     "-addext", "keyUsage=critical,keyCertSign"}) &&
            signed_("good", "IP:127.0.0.1") && signed_("wrongname", "DNS:wrong.invalid") &&
            openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                     "-nodes", "-keyout", "untrusted.key", "-out", "untrusted.pem", "-days", "2",
                     "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
    }
    bool ready() const { return m_ready; }
    QString path(const QString& file) const { return m_folder.filePath(file); }
    QStringList serviceOptions(const QString& name) const {
        return {QStringLiteral("--tls"), path(name + QStringLiteral(".pem")),
                path(name + QStringLiteral(".key"))};
    }

private:
    bool openssl(const QStringList& arguments) {
        QProcess process;
        process.setWorkingDirectory(m_folder.path());
        process.start(QStringLiteral("openssl"), arguments);
        return process.waitForFinished(30000) && process.exitCode() == 0;
    }
    bool signed_(const QString& name, const QString& alternativeName) {
        QFile extensions(path(name + QStringLiteral(".ext")));
        if (!extensions.open(QIODevice::WriteOnly)) return false;
        extensions.write("subjectAltName=" + alternativeName.toLatin1() + "\n");
        extensions.close();
        return openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                        "-nodes", "-keyout", name + ".key", "-out", name + ".csr", "-subj",
                        "/CN=" + name}) &&
               openssl({"x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                        "-CAcreateserial", "-out", name + ".pem", "-days", "2", "-extfile",
                        name + ".ext"});
    }

    QTemporaryDir m_folder;
    bool m_ready = false;
};

}  // namespace pellanor::test_support
