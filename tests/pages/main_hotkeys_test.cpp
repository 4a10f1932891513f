// The keyboard shortcut rules the main page and the hot-key page share, run in our engine. The
// cases live in main/hotkeys_logic.html; this file runs the page and names each failing case.
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/engine/engine_fixture.h"

using pellanor::test_support::EngineFixture;
using pellanor::test_support::loadEngine;
using pellanor::test_support::TestObject;
using sciter::value;

namespace {

// The page's tables hold this many cases; fewer means a table stopped running.
constexpr int kCases = 36;

class HotkeyRules : public EngineFixture {
protected:
    static void SetUpTestSuite() {
        api = loadEngine();
        ASSERT_NE(api, nullptr) << dlerror();
        const char16_t* argv[] = {u"main_hotkeys_tests", u"LANG=en-us"};
        api->SciterExec(kAppInit, 2, reinterpret_cast<std::intptr_t>(argv));
        api->SciterSetOption(0, kOptionInspectorPort, 0);
        static const std::u16string folder = QString(PELLANOR_PAGES).toStdU16String();
        api->SciterSetOption(0, kOptionPagesFolder,
                             reinterpret_cast<std::uintptr_t>(folder.data()));
    }

    QJsonObject runLogicPage() {
        QFile page(QString(PELLANOR_PAGE_TESTS) + "/hotkeys_logic.html");
        EXPECT_TRUE(page.open(QIODevice::ReadOnly));
        auto* probe = new TestObject("Probe");  // the engine keeps it: never freed
        probe->method("report", 1, [this](const std::vector<value>& args) {
            m_report = QString::fromStdU16String(args.at(0).toString());
            api->SciterExec(kAppStop, 0, 0);
            return value();
        });
        api->SciterSetGlobalAsset(probe, probe->passport(api));
        const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
        servePages(window, {{"t/hotkeys_logic.html", page.readAll()}});
        api->SciterLoadFile(window, u"this://app/t/hotkeys_logic.html");
        EXPECT_EQ(runLoop(window), 0) << "the logic page did not report";
        api->SciterPostMessage(window, kMessageClose, 0, 0);
        runLoop(window, 2000);
        return QJsonDocument::fromJson(m_report.toUtf8()).object();
    }

    QString m_report;
};

TEST_F(HotkeyRules, StoredKeysRecordingAndKeyPressesFollowTheRules) {
    const QJsonObject results = runLogicPage();
    EXPECT_EQ(results.size(), kCases) << QJsonDocument(results).toJson().toStdString();
    for (auto it = results.begin(); it != results.end(); ++it) {
        EXPECT_EQ(it.value().toString().toStdString(), "") << it.key().toStdString();
    }
}

}  // namespace
