// The page kit and the window chrome of the pages outside the main window, run in our engine:
// the load order a page relies on, window placement, Esc, and the language following the main
// page. The cases live in main/page_kit_logic.html; this file runs the page and names each.
#include "tests/pages/logic_page.h"

using pellanor::test_support::LogicPage;

namespace {

// The page's tables hold this many cases; fewer means a table stopped running.
constexpr int kCases = 15;

using PageKit = LogicPage;

TEST_F(PageKit, LoadsInOrderPlacesWindowsAndFollowsTheLanguage) {
    const QJsonObject results = runLogicPage("page_kit_logic.html");
    EXPECT_EQ(results.size(), kCases) << QJsonDocument(results).toJson().toStdString();
    for (auto it = results.begin(); it != results.end(); ++it) {
        EXPECT_EQ(it.value().toString().toStdString(), "") << it.key().toStdString();
    }
}

}  // namespace
