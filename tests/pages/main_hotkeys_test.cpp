// The keyboard shortcut rules the main page and the hot-key page share, run in our engine. The
// cases live in main/hotkeys_logic.html; this file runs the page and names each failing case.
#include "tests/pages/logic_page.h"

using pellanor::test_support::LogicPage;

namespace {

// The page's tables hold this many cases; fewer means a table stopped running.
constexpr int kCases = 40;

using HotkeyRules = LogicPage;

TEST_F(HotkeyRules, StoredKeysRecordingAndKeyPressesFollowTheRules) {
    const QJsonObject results = runLogicPage("hotkeys_logic.html");
    EXPECT_EQ(results.size(), kCases) << QJsonDocument(results).toJson().toStdString();
    for (auto it = results.begin(); it != results.end(); ++it) {
        EXPECT_EQ(it.value().toString().toStdString(), "") << it.key().toStdString();
    }
}

}  // namespace
