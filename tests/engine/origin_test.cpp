// Only the program's own pages (this://app) may reach native code: a page the window is sent to
// from a file or a web server finds no native objects, and its hand-made call requests are
// refused before any native method runs.
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>
#include <thread>

#include "tests/engine/engine_fixture.h"

using pellanor::test_support::addStoppingReport;
using pellanor::test_support::EngineFixture;
using pellanor::test_support::page;
using pellanor::test_support::TestObject;
using sciter::value;

namespace {

// What the page found and what its forged calls got back, reported as JSON text.
QByteArray probeScript(SciterWindow window, quint16 port) {
    const QByteArray call = "this://app/$engine/call?w=" + QByteArray::number(static_cast<qulonglong>(window)) +
                            "&d=forged&o=Guard&m=touch&k=call&a=%5B%5D";
    return R"js(
        const seen = {guard: typeof Guard, host: typeof HostWindow, engine: typeof __engine};
        try {
            const request = new XMLHttpRequest();
            request.open('GET', ')js" + call + R"js(', false);
            request.send();
            seen.sync = 'answered ' + request.status + ' ' + request.responseText;
        } catch (error) {
            seen.sync = 'refused';
        }
        const report = () => {
            try {
                if (typeof Guard === 'object') Guard.touch();  // as a page of our own does
            } catch (error) {
                seen.touch = 'refused';
            }
            const text = JSON.stringify(seen);
            try {
                if (typeof Guard === 'object') return Guard.report(text);
            } catch (error) {
                // not our page after all: report the way other pages do
            }
            new Image().src = 'http://127.0.0.1:)js" + QByteArray::number(port) + R"js(/report?' +
                              encodeURIComponent(text);
        };
        fetch(')js" + call + R"js(', {mode: 'no-cors'})
            .then((reply) => { seen.async = 'answered ' + reply.type; },
                  () => { seen.async = 'refused'; })
            .finally(report);
    )js";
}

// A web server on 127.0.0.1 with one page; the page's report ends the loop.
class TinyServer final : public QObject {
public:
    TinyServer(const SciterApi* api, QString* report) : m_api(api), m_report(report) {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) serve(socket);
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    void setPage(const QByteArray& page) { m_page = page; }
    // Instead of ending the loop when the report comes.
    void onReport(std::function<void()> then) { m_onReport = std::move(then); }

private:
    void serve(QTcpSocket* socket) {
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            m_requests[socket] += socket->readAll();
            const QByteArray& request = m_requests[socket];
            if (!request.contains("\r\n\r\n")) return;
            const QByteArray path = request.split(' ').value(1);
            if (path.startsWith("/report?")) {
                *m_report = QUrl::fromPercentEncoding(path.mid(8));
                respond(socket, "204 No Content", {});
                if (m_onReport) {
                    m_onReport();
                } else {
                    m_api->SciterExec(kAppStop, 0, 0);
                }
            } else {
                respond(socket, "200 OK", m_page);
            }
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    void respond(QTcpSocket* socket, const QByteArray& status, const QByteArray& body) {
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
        m_requests.remove(socket);
    }

    const SciterApi* m_api;
    QString* m_report;
    QTcpServer m_server;
    QByteArray m_page;
    QHash<QTcpSocket*, QByteArray> m_requests;
    std::function<void()> m_onReport;
};

class EngineOrigins : public EngineFixture {
protected:
    static void SetUpTestSuite() {
        EngineFixture::SetUpTestSuite();
        static bool registered = false;
        if (registered) return;
        registered = true;
        auto* guard = new TestObject("Guard");
        guard->method("touch", 0, [](const auto&) {
            ++touches;
            return value();
        });
        addStoppingReport(guard, &ownReport());
        ASSERT_TRUE(api->SciterSetGlobalAsset(guard, guard->passport(api)));
    }

    static QString& ownReport() {
        static QString report;
        return report;
    }

    // Loads the probe into a new main window from `url` (built from the window and the port)
    // and returns the page's report.
    template <typename Place>
    QJsonObject probe(const Place& place) {
        QString report;
        ownReport().clear();
        TinyServer server(api, &report);
        const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
        const QString url = place(window, server, probeScript(window, server.port()));
        api->SciterLoadFile(window, url.toStdU16String().c_str());
        EXPECT_EQ(runLoop(window, 30000), 0) << url.toStdString();
        api->SciterPostMessage(window, kMessageClose, 0, 0);
        runLoop(window, 2000);
        if (report.isEmpty()) report = ownReport();
        return QJsonDocument::fromJson(report.toUtf8()).object();
    }

    static inline int touches = 0;
};

TEST_F(EngineOrigins, OurOwnPagesSeeTheObjectsAndMayCall) {
    touches = 0;
    const QJsonObject seen = probe([this](SciterWindow window, TinyServer&, const QByteArray& script) {
        servePages(window, {{"t/origin.html", page(script)}});
        return QStringLiteral("this://app/t/origin.html");
    });
    EXPECT_EQ(seen.value("guard").toString(), "object");
    // From our own origin the hand-made request is an ordinary call: the same request from
    // elsewhere reaching native code would show.
    EXPECT_TRUE(seen.value("sync").toString().startsWith("answered 200"))
        << QJsonDocument(seen).toJson().toStdString();
    EXPECT_GE(touches, 2);
}

TEST_F(EngineOrigins, FileAndWebPagesGetNoObjectsAndTheirForgedCallsAreRefused) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const auto fromFile = [&](SciterWindow, TinyServer&, const QByteArray& script) {
        QFile file(folder.filePath(QStringLiteral("origin.html")));
        file.open(QIODevice::WriteOnly);
        file.write(page(script));
        return QUrl::fromLocalFile(file.fileName()).toString();
    };
    const auto fromWeb = [](SciterWindow, TinyServer& server, const QByteArray& script) {
        server.setPage(page(script));
        return QStringLiteral("http://127.0.0.1:%1/origin.html").arg(server.port());
    };
    for (const bool web : {false, true}) {
        SCOPED_TRACE(web ? "web page" : "file page");
        touches = 0;
        const QJsonObject seen = web ? probe(fromWeb) : probe(fromFile);
        ASSERT_FALSE(seen.isEmpty()) << "the page never reported";
        EXPECT_EQ(seen.value("guard").toString(), "undefined");
        EXPECT_EQ(seen.value("host").toString(), "undefined");
        EXPECT_EQ(seen.value("engine").toString(), "undefined");
        EXPECT_FALSE(seen.value("sync").toString().contains("\"v\""))
            << seen.value("sync").toString().toStdString();
        EXPECT_EQ(touches, 0) << QJsonDocument(seen).toJson().toStdString();
    }
}

// A long argument waits natively for its page to take it; a file page that learns its address
// while the call runs must not get it (nor use it up: the page of the call still takes it).
TEST_F(EngineOrigins, AFilePageCannotTakeAKeptText) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    static QString forged;
    static QString report;
    static value* subscriber = nullptr;
    static std::thread worker;
    static std::u16string sent;
    static bool echoedIntact = false;
    static SciterWindow forger = 0;
    forger = 0;
    forged.clear();
    report.clear();
    echoedIntact = false;
    sent.clear();
    for (int i = 0; sent.size() < 300000; ++i)
        sent += u"\u00e9\"\\\u2028 row " + QString::number(i).toStdU16String();
    QString reportOfForger;
    TinyServer server(api, &reportOfForger);
    server.onReport([&reportOfForger] { forged = reportOfForger; });
    static TinyServer* serverOfTest = nullptr;
    static QTemporaryDir* folderOfTest = nullptr;
    serverOfTest = &server;
    folderOfTest = &folder;

    auto* keeper = new TestObject("Keeper");
    keeper->method("subscribe", 1, [](const std::vector<value>& args) {
        subscriber = new value(args.at(0));
        worker = std::thread([] {
            try {
                echoedIntact = subscriber->call({value(sent)}).getString() == sent;
            } catch (const sciter::script_error&) {
            }
        });
        return value();
    });
    // Opens a file page that asks for `url` and reports what it got to the test's server.
    keeper->method("forge", 1, [](const std::vector<value>& args) {
        const QByteArray url = QString::fromStdU16String(args.at(0).toString()).toUtf8();
        QFile file(folderOfTest->filePath(QStringLiteral("forger.html")));
        file.open(QIODevice::WriteOnly);
        file.write(page(R"js(
            let seen;
            try {
                const request = new XMLHttpRequest();
                request.open('GET', ')js" +
                        url + R"js(', false);
                request.send();
                seen = 'answered ' + request.status + ' ' + request.responseText.length;
            } catch (error) {
                seen = 'refused';
            }
            new Image().src = 'http://127.0.0.1:)js" +
                        QByteArray::number(serverOfTest->port()) +
                        R"js(/report?' + encodeURIComponent(seen);
        )js"));
        file.close();
        forger = api->SciterCreateWindow(kWindowMain, nullptr, 0);
        api->SciterLoadFile(
            forger, QUrl::fromLocalFile(file.fileName()).toString().toStdU16String().c_str());
        return value();
    });
    keeper->method("forged", 0, [](const auto&) { return value(forged.toStdU16String()); });
    keeper->method("report", 1, [](const std::vector<value>& args) {
        report = QString::fromStdU16String(args.at(0).toString());
        api->SciterExec(kAppStop, 0, 0);
        return value();
    });
    ASSERT_TRUE(api->SciterSetGlobalAsset(keeper, keeper->passport(api)));
    const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    servePages(window, {{"t/keeper.html", page(R"js(
        const open = XMLHttpRequest.prototype.open;
        let forgedAnswer = '';
        XMLHttpRequest.prototype.open = function (method, url, ...rest) {
            if (String(url).includes('$engine/text') && !forgedAnswer) {
                Keeper.forge(String(url));
                const until = Date.now() + 20000;
                while (!(forgedAnswer = Keeper.forged()) && Date.now() < until) {}
            }
            return open.call(this, method, url, ...rest);
        };
        Keeper.subscribe((text) => {
            setTimeout(() => Keeper.report(forgedAnswer + ' / ' + text.length), 0);
            return text;
        });
    )js")}});
    api->SciterLoadFile(window, u"this://app/t/keeper.html");
    EXPECT_EQ(runLoop(window, 40000), 0);
    if (worker.joinable()) worker.join();
    delete subscriber;
    subscriber = nullptr;
    if (forger) api->SciterPostMessage(forger, kMessageClose, 0, 0);
    api->SciterPostMessage(window, kMessageClose, 0, 0);
    runLoop(window, 2000);
    // The forger asked while the text was kept, was refused, and the page still got it whole.
    EXPECT_FALSE(forged.isEmpty()) << "the file page never reported";
    EXPECT_FALSE(forged.startsWith("answered 200")) << forged.toStdString();
    EXPECT_EQ(report.toStdString(), forged.toStdString() + " / " + std::to_string(sent.size()));
    EXPECT_TRUE(echoedIntact);
}

}  // namespace
