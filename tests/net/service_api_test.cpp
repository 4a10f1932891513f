// The service endpoints as the service sees them, and what their answers become for the page.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QSysInfo>

#include "net/device_identity.h"
#include "net/http_client.h"
#include "net/service_api.h"
#include "tests/net/net_test_support.h"

namespace {

using pellanor::net::HttpClient;
using pellanor::net::HttpLimits;
using namespace pellanor::test_support;

class ServiceApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        privateHome();
        application();
        ASSERT_TRUE(m_service.running());
        useService(m_service.url(""));
    }
    void TearDown() override {
        qunsetenv("PELLANOR_SERVICE_URL");
        pellanor::net::setEventConsent({});
        if (HttpClient::exists()) HttpClient::instance()->setLimits(HttpLimits());
    }
    static void useService(const QString& base) { qputenv("PELLANOR_SERVICE_URL", base.toUtf8()); }

    TestService m_service;
};

TEST_F(ServiceApiTest, AsksForVersionsInTheChosenLanguageEncodedForTheQuery) {
    pellanor::net::setLanguageSource([] { return QStringLiteral("en-US&x=1 #"); });
    pellanor::net::checkUpdate();
    pellanor::net::getVersionList();
    pellanor::net::getAppInfo();
    pellanor::net::setLanguageSource({});
    QStringList paths;
    for (const RecordedRequest& request : m_service.requests()) paths << request.path;
    EXPECT_EQ(paths, (QStringList{"/api/versions/latest/?lang=en-US%26x%3D1%20%23",
                                  "/api/versions/?lang=en-US%26x%3D1%20%23", "/api/info/"}));
}

TEST_F(ServiceApiTest, SendsFeedbackWithOurIdentityWhateverThePageSupplied) {
    const QString id = pellanor::net::getClientId();
    EXPECT_TRUE(pellanor::net::submitFeedback(
        QStringLiteral(u"{\"client_id\":\"forged\",\"text\":\"h\u00e9\"}")));
    EXPECT_TRUE(pellanor::net::submitFeedback("not json"));
    const QList<RecordedRequest> seen = m_service.requests();
    ASSERT_EQ(seen.size(), 2);
    const QString userAgent = QStringLiteral("Pellanor/1.3.6 (%1; %2)")
                                  .arg(QSysInfo::productType(), QSysInfo::productVersion());
    for (const RecordedRequest& request : seen) {
        EXPECT_EQ(request.method + ' ' + request.path, "POST /api/feedback/");
        EXPECT_EQ(request.headers.value("content-type"), "application/json");
        EXPECT_EQ(request.headers.value("x-app-id"), "10001");
        EXPECT_EQ(request.headers.value("user-agent"), userAgent);
    }
    EXPECT_EQ(seen[0].body, (R"({"app_version":"1.3.6","client_id":")" + id +
                             QStringLiteral(u"\",\"text\":\"h\u00e9\"}"))
                                .toUtf8());
    EXPECT_EQ(seen[1].body, (R"({"app_version":"1.3.6","client_id":")" + id + R"("})").toUtf8());
}

TEST_F(ServiceApiTest, CountsOnlyAnAnswerWithAnErrorMemberAsFailedFeedback) {
    const struct {
        QString base;
        bool accepted;
    } cases[] = {
        {m_service.url("/status/500"), false},
        {m_service.url("/redirect"), false},
        {m_service.url("/empty"), true},
        {QStringLiteral("http://127.0.0.1:%1").arg(refusedPort()), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.base.toStdString());
        useService(c.base);
        EXPECT_EQ(pellanor::net::submitFeedback("{}"), c.accepted);
    }
}

// pellanor-cli stays until the client is idle, so a failing event's retries all go out.
TEST_F(ServiceApiTest, LetsTheCommandLineSendEveryAttemptOfAnEvent) {
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PELLANOR_SERVICE_URL", m_service.url("/status/500"));
    cli.setProcessEnvironment(environment);
    cli.start(PELLANOR_CLI, {"reportEvent", R"({"event_type":"scan"})"});
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.readAllStandardOutput().trimmed(), "true");
    const QList<RecordedRequest> seen = m_service.requests();
    ASSERT_EQ(seen.size(), 4);
    for (const RecordedRequest& request : seen) {
        EXPECT_EQ(request.path, "/status/500/api/events/");
        EXPECT_TRUE(request.body.startsWith(R"({"app_version":"1.3.6","client_id":")"));
        EXPECT_TRUE(request.body.endsWith(R"(","event_type":"scan"})"));
    }
}

// The service fails every attempt, so each case would send four unless consent stops it; the
// switch can go off while an event waits for its retry, and that retry must not go out.
TEST_F(ServiceApiTest, SendsEveryAttemptOfAnEventOnlyWhileUsageDataIsAllowed) {
    HttpLimits quick;
    quick.retryDelayMs = 100;
    HttpClient::instance()->setLimits(quick);
    const struct {
        const char* name;
        std::function<bool(const TestService&, int ask)> consent;
        bool accepted;
        int requests;
    } cases[] = {
        {"given", [](const TestService&, int) { return true; }, true, 4},
        {"absent", [](const TestService&, int) { return false; }, false, 0},
        {"withdrawn once the first attempt arrived",
         [](const TestService& service, int) { return service.requests().isEmpty(); }, true, 1},
        {"withdrawn between the call and the first attempt",
         [](const TestService&, int ask) { return ask == 0; }, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestService service;
        ASSERT_TRUE(service.running());
        useService(service.url("/status/500"));
        int asks = 0;
        pellanor::net::setEventConsent(
            [&service, &asks, &c] { return c.consent(service, asks++); });
        EXPECT_EQ(pellanor::net::reportEvent(R"({"event_type":"scan"})"), c.accepted);
        ASSERT_TRUE(HttpClient::instance()->waitUntilIdle(10000));
        const QList<RecordedRequest> seen = service.requests();
        EXPECT_EQ(seen.size(), c.requests);
        for (const RecordedRequest& request : seen) {
            EXPECT_EQ(request.path, "/status/500/api/events/");
        }
        pellanor::net::setEventConsent({});
    }
}

}  // namespace
