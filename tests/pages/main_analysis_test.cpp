// Page logic of the main page's analysis sections in our engine: the duplicate selection rules
// (never every copy, never a protected one), the virtual list (only visible rows exist,
// keyboard focus, ticking a range from the keyboard under those rules) and the parity of the
// twelve language tables. The cases themselves live in main/analysis_logic.html; this file runs
// the page and names each case in the test output.
#include "tests/pages/logic_page.h"

using pellanor::test_support::LogicPage;

namespace {

using MainPageLogic = LogicPage;

TEST_F(MainPageLogic, SelectionRulesAndVirtualListHoldTheirPromises) {
    const QJsonObject results = runLogicPage("analysis_logic.html");
    const QStringList expected = {
        "keep newest ticks the older copies",
        "keep oldest ticks the newer copies",
        "a tie on the newest time keeps one copy and asks for review",
        "protected copies are never ticked, even when older",
        "keep in folder matches either separator and any letter case, not a longer name",
        "keep in folder leaves groups with no copy there unticked for review",
        "keep shortest path",
        "clear unticks everything",
        "reclaimable bytes keep the copy that frees least",
        "hand ticking never takes the last copy",
        "random use keeps the invariant",
        "virtual list renders only the visible rows",
        "virtual list keyboard",
        "virtual list scroll renders only new rows",
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
