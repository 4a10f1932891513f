// Calls that come back into the engine while it is busy: a page function called on the UI
// thread while its page waits for native code, and a window whose hook is still running when
// the window is destroyed.
#include <algorithm>
#include <chrono>
#include <numeric>
#include <vector>

#include "tests/engine/engine_fixture.h"

using pellanor::test_support::EngineFixture;
using pellanor::test_support::page;
using pellanor::test_support::kWatchdogExitCode;
using pellanor::test_support::TestObject;
using sciter::value;

namespace {

class EngineReentry : public EngineFixture {};

// The page is blocked in its own call, so it cannot run the function: waiting would hang both.
TEST_F(EngineReentry, CallingBackIntoAPageThatWaitsForUsFailsAtOnce) {
    auto* object = new TestObject("Reentry");
    static std::string outcome;
    static QString report;
    object->method("callNow", 1, [](const std::vector<value>& args) {
        try {
            args.at(0).call({value(1)});
            outcome = "ran";
        } catch (const sciter::script_error& error) {
            outcome = error.what();
        }
        return value();
    });
    object->method("report", 1, [this](const std::vector<value>& args) {
        report = QString::fromStdU16String(args.at(0).toString());
        api->SciterExec(kAppStop, 0, 0);
        return value();
    });
    ASSERT_TRUE(api->SciterSetGlobalAsset(object, object->passport(api)));
    const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    servePages(window, {{"t/reentry.html", page(R"js(
        let ran = false;
        Reentry.callNow(function () { ran = true; });
        Reentry.report(String(ran));
    )js")}});
    api->SciterLoadFile(window, u"this://app/t/reentry.html");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(runLoop(window, 8000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(outcome, "the page of this function is waiting for a native call");
    EXPECT_EQ(report.toStdString(), "false");
    api->SciterPostMessage(window, kMessageClose, 0, 0);
    runLoop(window, 2000);
}

SciterWindow hooked = 0;
SciterWindow mainOfTest = 0;
std::intptr_t hookResult = -1;
bool aliveAfterCall = true;
value* pageFunction = nullptr;

// The hook calls into another page, which has this window closed meanwhile; the hook then goes
// on with a window that no longer exists.
std::intptr_t callingHook(SciterWindow window, std::uint32_t message, std::uintptr_t wparam,
                          std::intptr_t lparam, std::uintptr_t, void*) {
    if (message < kMessageFirstRegistered) {
        return sciter::api()->SciterHookPassOn(window, message, wparam, lparam);
    }
    try {
        pageFunction->call();
    } catch (const sciter::script_error&) {
    }
    aliveAfterCall = sciter::api()->SciterIsWindow(window);
    hookResult = sciter::api()->SciterHookPassOn(window, message, wparam, lparam);
    // Stopped from here, so the test sees the state the hook left, before later posted work.
    sciter::api()->SciterExec(kAppStop, 0, 0);
    return 5;
}

TEST_F(EngineReentry, AWindowDestroyedWhileItsHookRunsGoesAfterTheHookReturns) {
    auto* object = new TestObject("Closer");
    static const std::uint32_t poke = api->SciterRegisterMessage("EngineReentryPoke");
    const SciterWindow main = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    mainOfTest = main;
    hooked = api->SciterCreateWindow(0, nullptr, 0);
    object->method("keep", 1, [](const std::vector<value>& args) {
        pageFunction = new value(args.at(0));
        api->SciterPostMessage(hooked, poke, 0, 0);
        return value();
    });
    object->method("closeHooked", 0, [](const auto&) {
        api->SciterPostMessage(hooked, kMessageClose, 0, 0);
        return value();
    });
    ASSERT_TRUE(api->SciterSetGlobalAsset(object, object->passport(api)));
    ASSERT_TRUE(api->SciterHookAdd(hooked, callingHook, 1, nullptr));
    servePages(main, {{"t/closer.html", page(R"js(
        Closer.keep(function () {
            Closer.closeHooked();
            // Busy long enough for the posted close and the window's deletion to run meanwhile.
            return Array.from({length: 2e6}, (_, i) => i).length;
        });
    )js")}});
    api->SciterLoadFile(main, u"this://app/t/closer.html");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(runLoop(main, 8000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_FALSE(aliveAfterCall);
    EXPECT_EQ(hookResult, 0);
    EXPECT_FALSE(api->SciterIsWindow(hooked));
    delete pageFunction;
    api->SciterHookPassOn(main, kMessageClose, 0, 0);  // outside any dispatch: closes at once
    EXPECT_FALSE(api->SciterIsWindow(main));
}

constexpr int kRelayRounds = 20;
constexpr std::uintptr_t kRescueTimer = 0x5A5B;
SciterWindow relayTarget = 0;
std::uint32_t relayMessage = 0;
std::vector<value>* relayed = nullptr;
std::vector<int> relayAnswers;

std::intptr_t relayHook(SciterWindow window, std::uint32_t message, std::uintptr_t wparam,
                        std::intptr_t lparam, std::uintptr_t, void*) {
    if (message != relayMessage) {
        return sciter::api()->SciterHookPassOn(window, message, wparam, lparam);
    }
    // A copy: the call relays the next function, which may grow the list.
    const value function = relayed->back();
    try {
        relayAnswers.push_back(function.call().getInt(-1));
    } catch (const sciter::script_error&) {
        relayAnswers.push_back(-1);
    }
    if (relayAnswers.size() == static_cast<std::size_t>(kRelayRounds)) {
        sciter::api()->SciterExec(kAppStop, 0, 0);
    }
    return 1;
}

// Each round's message is posted from inside the page's native call and its hook calls back into
// the page, so Chromium's own work is often queued right behind the message: the wait inside the
// hook must still get it done. One stalled round shows as the whole chain taking seconds.
TEST_F(EngineReentry, APageFunctionCalledFromAPostedMessageAnswersWithoutDelay) {
    auto* object = new TestObject("Relay");
    relayMessage = api->SciterRegisterMessage("EngineReentryRelay");
    relayed = new std::vector<value>;
    relayAnswers.clear();
    const SciterWindow main = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    relayTarget = api->SciterCreateWindow(0, nullptr, 0);
    object->method("pass", 1, [](const std::vector<value>& args) {
        relayed->push_back(args.at(0));
        api->SciterPostMessage(relayTarget, relayMessage, 0, 0);
        return value();
    });
    ASSERT_TRUE(api->SciterSetGlobalAsset(object, object->passport(api)));
    ASSERT_TRUE(api->SciterHookAdd(relayTarget, relayHook, 1, nullptr));
    servePages(main, {{"t/relay.html", page("const rounds = " + QByteArray::number(kRelayRounds) +
                                            R"js(;
        let round = 0;
        function step() {
            round += 1;
            if (round < rounds) Relay.pass(step);
            return round;
        }
        Relay.pass(step);
    )js")}});
    api->SciterLoadFile(main, u"this://app/t/relay.html");
    // A stalled round never ends by itself, and a stop request cannot end the waits it sits in:
    // the page's window goes instead, which fails every call still waiting for it.
    api->SciterSetTimer(main, kRescueTimer, 6000, [](SciterWindow window, std::uintptr_t) {
        api->SciterHookPassOn(window, kMessageClose, 0, 0);
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(runLoop(main, 8000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    // Each round's message arrives while the previous hook still waits, so the answers come back
    // innermost first; only that every round answered matters.
    std::sort(relayAnswers.begin(), relayAnswers.end());
    std::vector<int> expected(kRelayRounds);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(relayAnswers, expected);
    delete relayed;
    relayed = nullptr;
    api->SciterPostMessage(main, kMessageClose, 0, 0);
    runLoop(main, 2000);
    EXPECT_FALSE(api->SciterIsWindow(main));
}

// The application ends while a timer procedure waits for a page function: the wait still ends
// with the function's own answer, not with an error.
TEST_F(EngineReentry, AWaitOnTheUiThreadOutlivesTheMainWindowsClose) {
    auto* object = new TestObject("Late");
    static value* slow = nullptr;
    static std::string outcome;
    static SciterWindow mainWindow = 0;
    mainWindow = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    const SciterWindow other = api->SciterCreateWindow(0, nullptr, 0);
    object->method("keep", 1, [](const std::vector<value>& args) {
        slow = new value(args.at(0));
        api->SciterSetTimer(mainWindow, 1, 0, [](SciterWindow, std::uintptr_t) {
            try {
                outcome = std::to_string(slow->call().getInt());
            } catch (const sciter::script_error& error) {
                outcome = error.what();
            }
        });
        return value();
    });
    object->method("closeMain", 0, [](const auto&) {
        api->SciterPostMessage(mainWindow, kMessageClose, 0, 0);
        return value();
    });
    ASSERT_TRUE(api->SciterSetGlobalAsset(object, object->passport(api)));
    servePages(other, {{"t/late.html", page(R"js(
        Late.keep(function () {
            Late.closeMain();
            return Array.from({length: 2e6}, (_, i) => i).length > 0 ? 42 : 0;
        });
    )js")}});
    api->SciterLoadFile(other, u"this://app/t/late.html");
    EXPECT_EQ(runLoop(mainWindow), 0);
    EXPECT_EQ(outcome, "42");
    delete slow;
}

}  // namespace
