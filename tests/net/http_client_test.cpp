// The HTTP client against the local test service: what goes on the wire, and how every kind of
// failure comes back, in time and exactly once.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>

#include "net/http_client.h"
#include "tests/net/net_test_support.h"

namespace {

using pellanor::net::HttpClient;
using pellanor::net::HttpLimits;
using pellanor::net::kRequestTimeout;
using pellanor::net::kServerUnreachable;
using namespace pellanor::test_support;

class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        privateHome();
        application();
        ASSERT_TRUE(m_service.running());
        HttpLimits limits;
        limits.inactivityMs = 400;
        limits.retryDelayMs = 50;
        client()->setLimits(limits);
    }
    void TearDown() override { client()->setLimits(HttpLimits()); }
    static HttpClient* client() { return HttpClient::instance(); }

    TestService m_service;
};

TEST_F(HttpClientTest, TurnsEveryFailureOfASynchronousCallIntoAnErrorText) {
    TestService silent({"--never-accept"});
    ASSERT_TRUE(silent.running());
    const QString refused = QStringLiteral("http://127.0.0.1:%1/api/info/").arg(refusedPort());
    struct Case {
        const char* name;
        QString url;
        QString exactly;     // the whole answer, when fixed
        QString containing;  // else a part of the error description
        int maxMs;
    } cases[] = {
        {"not found", m_service.url("/status/404/x"), {}, "404", 3000},
        {"server error", m_service.url("/status/500/x"), {}, "500", 3000},
        {"redirect", m_service.url("/redirect/x"), {}, "302", 3000},
        {"late answer", m_service.url("/delay/2000/x"), kRequestTimeout, {}, 1500},
        {"never accepted", silent.url("/x"), kRequestTimeout, {}, 1500},
        {"refused port", refused, kServerUnreachable, {}, 1500},
        {"answer too large", m_service.url("/bytes/9000000"), {}, "too large", 3000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QElapsedTimer clock;
        clock.start();
        const QString answer = client()->getJson(c.url, 600);
        EXPECT_LT(clock.elapsed(), c.maxMs);
        if (!c.exactly.isEmpty()) {
            EXPECT_EQ(answer, c.exactly);
        } else {
            EXPECT_TRUE(answer.startsWith(R"({"error":")")) << answer.toStdString();
            EXPECT_TRUE(answer.contains(c.containing)) << answer.toStdString();
        }
    }
    EXPECT_TRUE(silent.requests().isEmpty());
}

TEST_F(HttpClientTest, AnswersTheTimeoutTextWhenTheApplicationQuitsDuringTheWait) {
    QString answer;
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, &application(),
                       [&] { answer = client()->getJson(m_service.url("/delay/2000/x"), 5000); });
    QTimer::singleShot(200, &application(), &QCoreApplication::quit);
    QCoreApplication::exec();
    EXPECT_EQ(answer, kRequestTimeout);
    EXPECT_LT(clock.elapsed(), 1900);
}

TEST_F(HttpClientTest, EndsEachCallWithCallbackInExactlyOneSignal) {
    QStringList gets, posts;
    const auto getConnection = QObject::connect(
        client(), &HttpClient::asyncGetFinished,
        [&](const QString& id, const QString& result) { gets << id + ' ' + result; });
    const auto postConnection = QObject::connect(
        client(), &HttpClient::asyncPostFinished,
        [&](const QString& id, const QString& result) { posts << id + ' ' + result; });

    client()->postJsonAsyncWithCallback(QStringLiteral("http://127.0.0.1:%1/x").arg(refusedPort()),
                                        "{}", "refused");
    EXPECT_EQ(posts, QStringList{QStringLiteral("refused ") + kServerUnreachable})
        << "an early failure is reported before the call returns";
    client()->getJsonAsyncWithCallback(m_service.url("/stall/100000"), "stalled");
    client()->getJsonAsyncWithCallback(m_service.url("/api/info/"), "fine");
    client()->postJsonAsyncWithCallback(m_service.url("/status/500/x"), "{}", "failing");
    ASSERT_TRUE(runUntil([&] { return gets.size() == 2 && posts.size() == 2; }, 5000));
    runFor(300);
    QObject::disconnect(getConnection);
    QObject::disconnect(postConnection);

    gets.sort();
    EXPECT_EQ(gets, (QStringList{R"(fine {"ok": true, "path": "/api/info/"})",
                                 QStringLiteral("stalled ") + kRequestTimeout}));
    EXPECT_TRUE(posts[1].startsWith(R"(failing {"error":")"));
}

TEST_F(HttpClientTest, TriesAFailingEventPostFourTimesAndATimedOutOneAlike) {
    client()->postJsonAsync(m_service.url("/status/500/api/events/"), R"({"n":1})");
    client()->postJsonAsync(m_service.url("/delay/700/api/events/"), R"({"n":2})");
    client()->postJsonAsync(m_service.url("/api/events/"), R"({"n":3})");
    ASSERT_TRUE(client()->waitUntilIdle(10000));
    int failing = 0, late = 0, fine = 0;
    for (const RecordedRequest& request : m_service.requests()) {
        failing += request.path.startsWith("/status/500");
        late += request.path.startsWith("/delay/");
        fine += request.path == "/api/events/";
    }
    EXPECT_EQ(failing, 4);
    EXPECT_EQ(late, 4);
    EXPECT_EQ(fine, 1);
}

TEST_F(HttpClientTest, RefusesCertificatesForTheWrongNameOrFromAnUntrustedAuthority) {
    const TestCertificates certificates;
    ASSERT_TRUE(certificates.ready());
    QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
    const QSslConfiguration original = trusting;
    trusting.addCaCertificates(QSslCertificate::fromPath(certificates.path("ca.pem")));
    QSslConfiguration::setDefaultConfiguration(trusting);

    TestService good(certificates.serviceOptions("good"));
    TestService wrongName(certificates.serviceOptions("wrongname"));
    TestService untrusted(certificates.serviceOptions("untrusted"));
    EXPECT_EQ(client()->getJson(good.url("/api/info/", "https"), 3000),
              R"({"ok": true, "path": "/api/info/"})");
    for (TestService* refused : {&wrongName, &untrusted}) {
        const QString answer = client()->getJson(refused->url("/api/info/", "https"), 3000);
        EXPECT_TRUE(answer.startsWith(R"({"error":")")) << answer.toStdString();
        EXPECT_NE(answer, kRequestTimeout);
        EXPECT_TRUE(refused->requests().isEmpty());
    }
    QSslConfiguration::setDefaultConfiguration(original);
}

}  // namespace
