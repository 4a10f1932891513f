// Window placement, visibility and the desktop facts, on a virtual display without a window
// manager, plus the outside-click mouse hook fed with synthesised presses.
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWindow>

#include <thread>

#include "tests/engine/engine_fixture.h"

using pellanor::test_support::EngineFixture;

namespace {

class EngineDesktop : public EngineFixture {};

struct Press {
    std::uint32_t button = 0;
    std::int32_t x = 0, y = 0;
    int count = 0;
};

void pressAt(SciterWindow window, Qt::MouseButton button, const QPoint& global) {
    SciterRect rect{};
    sciter::api()->SciterWindowRect(window, &rect);
    for (QWindow* native : QGuiApplication::topLevelWindows()) {
        if (!native->isVisible() || native->geometry().topLeft() != QPoint(rect.left, rect.top)) {
            continue;
        }
        QMouseEvent press(QEvent::MouseButtonPress, global - native->geometry().topLeft(), global,
                          button, button, Qt::NoModifier);
        QCoreApplication::sendEvent(native, &press);
        return;
    }
    ADD_FAILURE() << "no native window at the engine window's place";
}

TEST_F(EngineDesktop, DesktopFactsComeFromTheScreens) {
    api->SciterCreateWindow(0, nullptr, 0);  // makes sure the application exists
    EXPECT_GE(api->SciterMonitorCount(), 1);
    SciterRect area{};
    ASSERT_TRUE(api->SciterMonitorWorkArea(-5000, -5000, &area));  // nearest screen
    EXPECT_GT(area.right - area.left, 0);
    EXPECT_GT(area.bottom - area.top, 0);
    std::int32_t x = -1, y = -1;
    EXPECT_TRUE(api->SciterCursorPosition(&x, &y));
    EXPECT_FALSE(api->SciterCursorPosition(nullptr, &y));
}

TEST_F(EngineDesktop, PlacementAndVisibilityFollowTheCommands) {
    const SciterRect frame{40, 50, 340, 250};
    const SciterWindow window = api->SciterCreateWindow(kWindowPopup, &frame, 0);
    EXPECT_FALSE(api->SciterIsVisible(window));
    api->SciterShowWindow(window, kShowNormal);
    EXPECT_TRUE(api->SciterIsVisible(window));
    ASSERT_TRUE(api->SciterSetToolWindow(window, true));
    EXPECT_TRUE(api->SciterIsVisible(window));  // restyling keeps it shown
    ASSERT_TRUE(api->SciterPlaceWindow(window, kZOrderNotTopMost, true, 120, 130, kShowShow, true));
    SciterRect rect{};
    ASSERT_TRUE(api->SciterWindowRect(window, &rect));
    EXPECT_EQ(rect.left, 120);
    EXPECT_EQ(rect.top, 130);
    EXPECT_EQ(rect.right - rect.left, 300);
    api->SciterPlaceWindow(window, kZOrderKeep, false, 0, 0, kShowHide, false);
    EXPECT_FALSE(api->SciterIsVisible(window));
    EXPECT_TRUE(api->SciterSetTitle(window, u"Title"));
    EXPECT_FALSE(api->SciterSetTitle(9999, u"no such window"));
    EXPECT_FALSE(api->SciterShowWindow(9999, kShowNormal));
}

TEST_F(EngineDesktop, TheOutsideClickHookSeesEveryPressUntilRemoved) {
    const SciterRect frame{300, 300, 500, 400};
    const SciterWindow window = api->SciterCreateWindow(0, &frame, 0);
    api->SciterShowWindow(window, kShowNormal);
    Press seen;
    const std::uintptr_t hook = api->SciterMouseHookInstall(
        [](std::uint32_t button, std::int32_t x, std::int32_t y, void* data) {
            auto* press = static_cast<Press*>(data);
            *press = Press{button, x, y, press->count + 1};
        },
        &seen, nullptr);
    ASSERT_NE(hook, 0u);
    pressAt(window, Qt::RightButton, QPoint(350, 320));
    EXPECT_EQ(seen.count, 1);
    EXPECT_EQ(seen.button, std::uint32_t{kMouseRight});
    EXPECT_EQ(seen.x, 350);
    EXPECT_EQ(seen.y, 320);
    EXPECT_TRUE(api->SciterMouseHookRemove(hook));
    EXPECT_FALSE(api->SciterMouseHookRemove(hook));
    pressAt(window, Qt::LeftButton, QPoint(310, 310));
    EXPECT_EQ(seen.count, 1);
}

TEST_F(EngineDesktop, AHookRemovedByAnotherDuringAPressIsNotCalled) {
    const SciterRect frame{300, 300, 500, 400};
    const SciterWindow window = api->SciterCreateWindow(0, &frame, 0);
    api->SciterShowWindow(window, kShowNormal);
    struct Pair {
        std::uintptr_t second = 0;
        int firstCalls = 0, secondCalls = 0;
    } pair;
    api->SciterMouseHookInstall(
        [](std::uint32_t, std::int32_t, std::int32_t, void* data) {
            auto* p = static_cast<Pair*>(data);
            ++p->firstCalls;
            sciter::api()->SciterMouseHookRemove(p->second);
        },
        &pair, nullptr);
    pair.second =
        api->SciterMouseHookInstall([](std::uint32_t, std::int32_t, std::int32_t,
                                       void* data) { ++static_cast<Pair*>(data)->secondCalls; },
                                    &pair, nullptr);
    pressAt(window, Qt::LeftButton, QPoint(350, 320));
    EXPECT_EQ(pair.firstCalls, 1);
    EXPECT_EQ(pair.secondCalls, 0);
}

// The program logs these numbers as it would the system's own.
TEST_F(EngineDesktop, ARefusedHookSaysWhyWithTheWindowsCode) {
    api->SciterCreateWindow(0, nullptr, 0);  // makes sure the application exists
    const SciterMouseProc proc = [](std::uint32_t, std::int32_t, std::int32_t, void*) {};
    const struct {
        const char* name;
        SciterMouseProc proc;
        bool otherThread;
        std::uint32_t error;
    } cases[] = {
        {"no procedure", nullptr, false, kHookErrorNoProcedure},
        {"another thread", proc, true, kHookErrorWrongThread},
        {"installed", proc, false, 0},
    };
    for (const auto& c : cases) {
        std::uint32_t error = 99;
        std::uintptr_t hook = 0;
        const auto install = [&] { hook = api->SciterMouseHookInstall(c.proc, nullptr, &error); };
        if (c.otherThread) {
            std::thread(install).join();
        } else {
            install();
        }
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_EQ(hook != 0, c.error == 0) << c.name;
        if (hook != 0) api->SciterMouseHookRemove(hook);
    }
}

// Widgets, screens and the loop belong to the UI thread; other threads are refused or queued.
TEST_F(EngineDesktop, UiThreadEntriesRefuseOtherThreadsAndStopIsQueued) {
    const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    std::thread worker([window] {
        std::int32_t x = 0, y = 0;
        SciterRect area{};
        EXPECT_FALSE(api->SciterCursorPosition(&x, &y));
        EXPECT_EQ(api->SciterMonitorCount(), 0);
        EXPECT_FALSE(api->SciterMonitorWorkArea(0, 0, &area));
        EXPECT_FALSE(api->SciterIsWindow(window));
        EXPECT_EQ(api->SciterCreateWindow(0, nullptr, 0), 0);
        EXPECT_EQ(api->SciterExec(kAppShutdown, 0, 0), 0);
        EXPECT_EQ(api->SciterExec(kAppStop, 4, 0), 1);
    });
    EXPECT_EQ(runLoop(window), 4);
    worker.join();
    EXPECT_TRUE(api->SciterIsWindow(window));
    api->SciterPostMessage(window, kMessageClose, 0, 0);
    EXPECT_EQ(runLoop(window), 0);
}

}  // namespace
