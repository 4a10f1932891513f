// Page logic of the main page's analysis sections in our engine: the duplicate selection rules
// (never every copy, never a protected one), the virtual list (only visible rows exist,
// keyboard focus, ticking a range from the keyboard under those rules) and the parity of the twelve language tables. The cases themselves live in main/analysis_logic.html; this file runs the
// page and names each case in the test output.
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/engine/engine_fixture.h"

using pellanor::test_support::EngineFixture;
using pellanor::test_support::loadEngine;
using pellanor::test_support::TestObject;
using sciter::value;

namespace {

class MainPageLogic : public EngineFixture {
protected:
    static void SetUpTestSuite() {
        api = loadEngine();
        ASSERT_NE(api, nullptr) << dlerror();
        static bool initialised = false;
        if (initialised) return;
        const char16_t* argv[] = {u"main_analysis_tests", u"LANG=en-us"};
        api->SciterExec(kAppInit, 2, reinterpret_cast<std::intptr_t>(argv));
        api->SciterSetOption(0, kOptionInspectorPort, 0);
        // The page's own scripts are read from the source tree, as checked in.
        static const std::u16string folder = QString(PELLANOR_PAGES).toStdU16String();
        api->SciterSetOption(0, kOptionPagesFolder,
                             reinterpret_cast<std::uintptr_t>(folder.data()));
        initialised = true;
    }

    QJsonObject runLogicPage() {
        QFile page(QString(PELLANOR_PAGE_TESTS) + "/analysis_logic.html");
        EXPECT_TRUE(page.open(QIODevice::ReadOnly));
        auto* probe = new TestObject("Probe");  // the engine keeps it: never freed
        probe->method("report", 1, [this](const std::vector<value>& args) {
            m_report = QString::fromStdU16String(args.at(0).toString());
            api->SciterExec(kAppStop, 0, 0);
            return value();
        });
        api->SciterSetGlobalAsset(probe, probe->passport(api));
        const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
        servePages(window, {{"t/analysis_logic.html", page.readAll()}});
        api->SciterLoadFile(window, u"this://app/t/analysis_logic.html");
        EXPECT_EQ(runLoop(window), 0) << "the logic page did not report";
        api->SciterPostMessage(window, kMessageClose, 0, 0);
        runLoop(window, 2000);
        return QJsonDocument::fromJson(m_report.toUtf8()).object();
    }

    QString m_report;
};

TEST_F(MainPageLogic, SelectionRulesAndVirtualListHoldTheirPromises) {
    const QJsonObject results = runLogicPage();
    const QStringList expected = {
        "keep newest ticks the older copies",
        "keep oldest ticks the newer copies",
        "a tie on the newest time keeps one copy and asks for review",
        "protected copies are never ticked, even when older",
        "keep in folder matches either separator and any letter case, not a longer name",
        "keep in folder leaves groups with no copy there unticked for review",
        "keep shortest path",
        "clear unticks everything",
        "hand ticking never takes the last copy",
        "random use keeps the invariant",
        "virtual list renders only the visible rows",
        "virtual list keyboard",
        "shift+down ticks from the anchor to the active row",
        "shift+up ticks towards the top",
        "a shrinking range unticks only what it ticked",
        "a plain move starts a new range and keeps the old ticks",
        "shift+end then shift+home turns the range around the anchor",
        "space toggles the active row and moves the anchor there",
        "a range never ticks the last unticked copy of a group",
        "a range never ticks a protected copy",
        "upwards the copy nearest the anchor is ticked",
        "space on the last copy is refused",
        "every language table has the English keys and placeholders",
    };
    ASSERT_EQ(results.size(), expected.size()) << QJsonDocument(results).toJson().toStdString();
    for (const QString& name : expected) {
        ASSERT_TRUE(results.contains(name)) << name.toStdString();
        EXPECT_EQ(results[name].toString().toStdString(), "") << name.toStdString();
    }
}

}  // namespace
