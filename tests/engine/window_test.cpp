// Windows with real pages under a virtual display: native objects called from page scripts,
// page functions called from worker threads, posted events, hooks, timers and the loop's end.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

#include "tests/engine/engine_fixture.h"

using pellanor::test_support::EngineFixture;
using pellanor::test_support::page;
using pellanor::test_support::kWatchdogExitCode;
using pellanor::test_support::TestObject;
using sciter::value;

namespace {

QString text(const value& v) { return QString::fromStdU16String(v.toString()); }

// Each test registers its own object; objects are never released, as the engine keeps them.
TestObject* newProbe(const char* name, QString* report, const SciterApi* api) {
    auto* probe = new TestObject(name);
    probe->method("report", 1, [report, api](const std::vector<value>& args) {
        *report = text(args.at(0));
        api->SciterExec(kAppStop, 0, 0);
        return value();
    });
    return probe;
}

class EngineWindows : public EngineFixture {};

TEST_F(EngineWindows, PageCallsANativeObjectAndReceivesEveryResultType) {
    QString report;
    TestObject* probe = newProbe("Probe", &report, api);
    probe->method("int", 0, [](const auto&) { return value(42); });
    probe->method("float", 0, [](const auto&) { return value(2.5); });
    probe->method("text", 0, [](const auto&) { return value(u"h\u00e9llo \u4e2d"); });
    probe->method("yes", 0, [](const auto&) { return value(true); });
    probe->method("nothing", 0, [](const auto&) { return value(); });
    probe->method("nil", 0, [](const auto&) { return value::null(); });
    probe->method("list", 0, [](const auto&) {
        value list = value::array();
        list.append(value(1));
        list.append(value(u"two"));
        return list;
    });
    probe->method("map", 0, [](const auto&) {
        value map = value::map();
        map.set(u"type", value::symbol(u"done"));
        map.set(u"id", value(7));
        return map;
    });
    probe->method("fail", 0, [](const auto&) { return value::error(u"bad thing"); });
    probe->method("echo", 1, [](const std::vector<value>& args) { return args.at(0); });
    probe->method("arity", 2, [](const std::vector<value>& args) {
        int defined = 0;
        for (const value& arg : args) defined += arg.isUndefined() ? 0 : 1;
        return value(static_cast<int>(args.size()) * 10 + defined);
    });
    probe->property("version", [](const auto&) { return value(u"1.3.6"); });
    ASSERT_TRUE(api->SciterSetGlobalAsset(probe, probe->passport(api)));

    const SciterWindow window = api->SciterCreateWindow(kWindowMain | kWindowDebug, nullptr, 0);
    ASSERT_NE(window, 0);
    static SciterWindow self = window;
    auto* own = new TestObject("Self");
    own->method("hwnd", 0, [](const auto&) { return value(static_cast<int>(self)); });
    own->property("showOnLoaded", [](const auto&) { return value(true); });
    ASSERT_TRUE(api->SciterSetWindowAsset(window, own, own->passport(api)));
    servePages(window, {{"t/types.html", page(R"js(
        const r = {};
        r.int = Probe.int(); r.float = Probe.float(); r.text = Probe.text(); r.yes = Probe.yes();
        r.nothing = Probe.nothing() === undefined; r.nil = Probe.nil() === null;
        r.list = Probe.list(); r.map = Probe.map();
        try { Probe.fail(); r.fail = 'no error'; } catch (e) { r.fail = e.message; }
        r.version = Probe.version;
        r.echo = [Probe.echo(5), Probe.echo('a b+c&d=e%'), Probe.echo(1.25), Probe.echo(false)];
        r.padded = Probe.arity(); r.extra = Probe.arity(1, 2, 3);
        r.own = [PageWindow.hwnd(), PageWindow.showOnLoaded, typeof Self];
        Probe.report(JSON.stringify(r));
    )js")}});
    ASSERT_TRUE(api->SciterLoadFile(window, u"this://app/t/types.html"));
    EXPECT_EQ(runLoop(window), 0);

    const QJsonObject r = QJsonDocument::fromJson(report.toUtf8()).object();
    ASSERT_FALSE(r.isEmpty()) << report.toStdString();
    EXPECT_EQ(r["int"].toInt(), 42);
    EXPECT_EQ(r["float"].toDouble(), 2.5);
    EXPECT_EQ(r["text"].toString(), QString::fromUtf8("h\xc3\xa9llo \xe4\xb8\xad"));
    EXPECT_EQ(r["yes"].toBool(), true);
    EXPECT_TRUE(r["nothing"].toBool());
    EXPECT_TRUE(r["nil"].toBool());
    EXPECT_EQ(r["list"].toArray(), (QJsonArray{1, "two"}));
    EXPECT_EQ(r["map"].toObject(), (QJsonObject{{"type", "done"}, {"id", 7}}));
    EXPECT_EQ(r["fail"].toString(), "bad thing");
    EXPECT_EQ(r["version"].toString(), "1.3.6");
    EXPECT_EQ(r["echo"].toArray(), (QJsonArray{5, "a b+c&d=e%", 1.25, false}));
    EXPECT_EQ(r["padded"].toInt(), 20);
    EXPECT_EQ(r["extra"].toInt(), 22);
    EXPECT_EQ(r["own"].toArray(), (QJsonArray{static_cast<int>(window), true, "undefined"}));
}

TEST_F(EngineWindows, AWorkerCallsAPageFunctionAThousandTimesInOrder) {
    QString report;
    TestObject* probe = newProbe("Runner", &report, api);
    std::thread worker;
    std::atomic<int> wrongAnswers{0};
    std::string thrown;
    bool inOrder = false;
    static const std::uint32_t done = api->SciterRegisterMessage("EngineTestWorkerDone");
    probe->method("start", 2, [&](const std::vector<value>& args) {
        value counter = args.at(0), check = args.at(1);
        worker = std::thread([&, counter, check] {
            for (int i = 0; i < 1000; ++i) {
                if (counter.call({value(i)}).getInt() != i + 1) ++wrongAnswers;
            }
            try {
                counter.call({value(-1)});
            } catch (const sciter::script_error& error) {
                thrown = error.what();
            }
            inOrder = check.call().getInt() == 1;
            api->SciterPostMessage(kBroadcastWindow, done, 0, 0);
        });
        return value();
    });
    ASSERT_TRUE(api->SciterSetGlobalAsset(probe, probe->passport(api)));

    const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    api->SciterHookAdd(
        window,
        [](SciterWindow w, std::uint32_t message, std::uintptr_t wp, std::intptr_t lp,
           std::uintptr_t, void*) -> std::intptr_t {
            if (message == done) api->SciterExec(kAppStop, 0, 0);
            return api->SciterHookPassOn(w, message, wp, lp);
        },
        1, nullptr);
    servePages(window, {{"t/calls.html", page(R"js(
        const seen = [];
        Runner.start(function (i) {
            if (i === -1) throw new Error('asked to fail');
            seen.push(i);
            return i + 1;
        }, function () { return seen.length === 1000 && seen.every((v, k) => v === k); });
    )js")}});
    api->SciterLoadFile(window, u"this://app/t/calls.html");
    EXPECT_EQ(runLoop(window), 0);
    if (worker.joinable()) worker.join();
    EXPECT_EQ(wrongAnswers, 0);
    EXPECT_EQ(thrown, "asked to fail");
    EXPECT_TRUE(inOrder);
}

TEST_F(EngineWindows, CallingAFunctionOfAClosedPageIsAReportedNoOp) {
    QString report;
    TestObject* probe = newProbe("Keeper", &report, api);
    static std::atomic<bool> pageGone{false};
    std::thread worker;
    std::string outcome;
    const SciterWindow mainWindow = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    const SciterWindow pageWindow = api->SciterCreateWindow(0, nullptr, 0);
    probe->method("keep", 1, [&](const std::vector<value>& args) {
        value kept = args.at(0);
        api->SciterPostMessage(pageWindow, kMessageClose, 0, 0);
        worker = std::thread([&, kept] {
            while (!pageGone) std::this_thread::yield();
            try {
                kept.call({value(1)});
                outcome = "ran";
            } catch (const sciter::script_error& error) {
                outcome = error.what();
            }
            api->SciterPostMessage(mainWindow, kMessageClose, 0, 0);
        });
        return value();
    });
    ASSERT_TRUE(api->SciterSetGlobalAsset(probe, probe->passport(api)));
    api->SciterHookAdd(
        pageWindow,
        [](SciterWindow w, std::uint32_t message, std::uintptr_t wp, std::intptr_t lp,
           std::uintptr_t, void*) -> std::intptr_t {
            if (message == kMessageDestroy) pageGone = true;
            return api->SciterHookPassOn(w, message, wp, lp);
        },
        1, nullptr);
    servePages(pageWindow, {{"t/keep.html", page("Keeper.keep(function (n) { return n; });")}});
    api->SciterLoadFile(pageWindow, u"this://app/t/keep.html");
    EXPECT_EQ(runLoop(mainWindow), 0);
    if (worker.joinable()) worker.join();
    EXPECT_EQ(outcome, "the page of this function is gone");
}

TEST_F(EngineWindows, APostedEventReachesThePageAndTheWindowsHandler) {
    QString report;
    TestObject* probe = newProbe("Events", &report, api);
    std::thread worker;
    static std::u16string handled;
    const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    probe->method("ready", 0, [&](const auto&) {
        worker = std::thread(
            [window] { api->SciterFireEvent(window, u"NATIVE_MENU_OUTSIDE_CLICK", true); });
        return value();
    });
    ASSERT_TRUE(api->SciterSetGlobalAsset(probe, probe->passport(api)));
    api->SciterWindowAttachEventHandler(
        window,
        [](SciterWindow, std::uint32_t kind, const char16_t* name, void*) {
            if (kind == kEventCustom) handled = name;
        },
        nullptr);
    servePages(window, {{"t/event.html", page(R"js(
        document.addEventListener('NATIVE_MENU_OUTSIDE_CLICK', (e) => Events.report(e.type));
        Events.ready();
    )js")}});
    api->SciterLoadFile(window, u"this://app/t/event.html");
    EXPECT_EQ(runLoop(window), 0);
    if (worker.joinable()) worker.join();
    EXPECT_EQ(report, "NATIVE_MENU_OUTSIDE_CLICK");
    EXPECT_EQ(handled, u"NATIVE_MENU_OUTSIDE_CLICK");
}

TEST_F(EngineWindows, ItemsTheHostLeavesComeFromThePagesFolder) {
    QString report;
    TestObject* probe = newProbe("Folder", &report, api);
    ASSERT_TRUE(api->SciterSetGlobalAsset(probe, probe->passport(api)));
    QTemporaryDir pages;
    ASSERT_TRUE(QDir(pages.path()).mkpath("main"));
    QFile file(pages.filePath("main/extra.html"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(page("Folder.report(location.href + ' ' + typeof HostWindow.show);"));
    file.close();
    const std::u16string folder = pages.path().toStdU16String();
    api->SciterSetOption(0, kOptionPagesFolder, reinterpret_cast<std::uintptr_t>(folder.c_str()));

    const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    servePages(window, {{"other.html", "<p>not this one</p>"}});
    api->SciterLoadFile(window, u"this://app/main/extra.html");
    EXPECT_EQ(runLoop(window), 0);
    EXPECT_EQ(report, "this://app/main/extra.html function");
    api->SciterSetOption(0, kOptionPagesFolder, 0);
}

TEST_F(EngineWindows, APageCannotReadOutsideThePagesFolder) {
    QString report;
    TestObject* probe = newProbe("Escape", &report, api);
    ASSERT_TRUE(api->SciterSetGlobalAsset(probe, probe->passport(api)));
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath("pages/main"));
    const auto write = [&root](const QString& path, const QByteArray& data) {
        QFile file(root.filePath(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    };
    write("secret.txt", "sentinel outside the pages folder");
    write("pages/main/ok.txt", "inside");
    write("pages/main/probe.html", page(R"js(
        const tries = ['main/ok.txt', '..%2Fsecret.txt', 'main/..%2F..%2Fsecret.txt',
                       '%2e%2e/secret.txt', 'main/%2F..%2F..%2Fsecret.txt', '%2Fsecret.txt'];
        const read = (path) => {
            const request = new XMLHttpRequest();
            try {
                request.open('GET', 'this://app/' + path, false);
                request.send();
                return request.responseText || 'refused';
            } catch (error) {
                return 'refused';
            }
        };
        Escape.report(tries.map(read).join(','));
    )js"));
    const std::u16string folder = root.filePath("pages").toStdU16String();
    api->SciterSetOption(0, kOptionPagesFolder, reinterpret_cast<std::uintptr_t>(folder.c_str()));
    const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    api->SciterLoadFile(window, u"this://app/main/probe.html");
    EXPECT_EQ(runLoop(window), 0);
    api->SciterPostMessage(window, kMessageClose, 0, 0);
    runLoop(window, 2000);
    api->SciterSetOption(0, kOptionPagesFolder, 0);
    EXPECT_EQ(report.toStdString(), "inside,refused,refused,refused,refused,refused");
}

// Hooks run newest first; each either answers or passes on, and the default handling closes.
std::vector<std::string> chainLog;
int closesToSwallow = 0;

std::string messageName(std::uint32_t message) {
    switch (message) {
        case kMessageClose:
            return "close";
        case kMessageDestroy:
            return "destroy";
        case kMessageSysCommand:
            return "sys";
        default:
            return message >= kMessageFirstRegistered ? "registered" : "other";
    }
}

std::intptr_t newerHook(SciterWindow window, std::uint32_t message, std::uintptr_t wparam,
                        std::intptr_t lparam, std::uintptr_t id, void*) {
    chainLog.push_back("newer:" + messageName(message));
    if (message == kMessageClose && closesToSwallow > 0) {
        --closesToSwallow;
        return 0;
    }
    if (message == kMessageDestroy) sciter::api()->SciterHookRemove(window, newerHook, id);
    return sciter::api()->SciterHookPassOn(window, message, wparam, lparam);
}

std::intptr_t olderHook(SciterWindow window, std::uint32_t message, std::uintptr_t wparam,
                        std::intptr_t lparam, std::uintptr_t, void*) {
    chainLog.push_back("older:" + messageName(message));
    if (message >= kMessageFirstRegistered) return 7;
    return sciter::api()->SciterHookPassOn(window, message, wparam, lparam);
}

TEST_F(EngineWindows, HooksRunNewestFirstAndOnlyPassedOnMessagesReachTheDefault) {
    const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    ASSERT_TRUE(api->SciterHookAdd(window, olderHook, 1, nullptr));
    ASSERT_TRUE(api->SciterHookAdd(window, newerHook, 2, nullptr));
    chainLog.clear();
    closesToSwallow = 1;
    const std::uint32_t registered = api->SciterRegisterMessage("EngineTestChain");
    EXPECT_EQ(registered, api->SciterRegisterMessage("EngineTestChain"));
    EXPECT_GE(registered, std::uint32_t{kMessageFirstRegistered});
    api->SciterPostMessage(window, registered, 0, 0);
    api->SciterPostMessage(window, kMessageClose, 0, 0);  // swallowed: the window stays
    api->SciterPostMessage(window, kMessageSysCommand, kSysCommandClose | 0x2, 0);

    EXPECT_EQ(runLoop(window), 0);  // the default close destroys the main window
    const std::vector<std::string> expected = {"newer:registered", "older:registered",  //
                                               "newer:close",                           //
                                               "newer:sys",        "older:sys",
                                               "newer:close",      "older:close",  //
                                               "newer:destroy",    "older:destroy"};
    EXPECT_EQ(chainLog, expected);
    EXPECT_FALSE(api->SciterIsWindow(window));
}

int timerFires = 0;
int killedTimerFires = 0;

TEST_F(EngineWindows, AOneShotTimerFiresExactlyOnceAndAKilledOneNever) {
    timerFires = 0;
    killedTimerFires = 0;
    const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    ASSERT_TRUE(api->SciterSetTimer(window, 5, 10, [](SciterWindow, std::uintptr_t id) {
        EXPECT_EQ(id, 5u);
        ++timerFires;
    }));
    ASSERT_TRUE(api->SciterSetTimer(window, 6, 10,
                                    [](SciterWindow, std::uintptr_t) { ++killedTimerFires; }));
    EXPECT_TRUE(api->SciterKillTimer(window, 6));
    EXPECT_FALSE(api->SciterKillTimer(window, 6));
    api->SciterSetTimer(window, 7, 300, [](SciterWindow w, std::uintptr_t) {
        sciter::api()->SciterPostMessage(w, kMessageClose, 0, 0);
    });
    EXPECT_EQ(runLoop(window), 0);
    EXPECT_EQ(timerFires, 1);
    EXPECT_EQ(killedTimerFires, 0);
}

TEST_F(EngineWindows, TheLoopEndsWithTheMainWindowOrWithTheStopCode) {
    const SciterWindow other = api->SciterCreateWindow(0, nullptr, 0);
    const SciterWindow main = api->SciterCreateWindow(kWindowMain | kWindowPopup, nullptr, 0);
    api->SciterWindowCommand(main, kWindowSetState, kWindowStateShown);
    api->SciterPostMessage(other, kMessageClose, 0, 0);  // not the main window: the loop goes on
    api->SciterSetTimer(main, 1, 100, [](SciterWindow w, std::uintptr_t) {
        sciter::api()->SciterPostMessage(w, kMessageClose, 0, 0);
    });
    static bool bystanderDestroyed = false;
    const SciterWindow bystander = api->SciterCreateWindow(0, nullptr, 0);
    api->SciterHookAdd(
        bystander,
        [](SciterWindow w, std::uint32_t message, std::uintptr_t wp, std::intptr_t lp,
           std::uintptr_t, void*) -> std::intptr_t {
            if (message == kMessageDestroy) bystanderDestroyed = true;
            return sciter::api()->SciterHookPassOn(w, message, wp, lp);
        },
        1, nullptr);
    EXPECT_EQ(runLoop(main), 0);
    EXPECT_FALSE(api->SciterIsWindow(other));
    // The application ends with its main window: the others are destroyed with it.
    EXPECT_TRUE(bystanderDestroyed);
    EXPECT_FALSE(api->SciterIsWindow(bystander));

    const SciterWindow second = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    api->SciterSetTimer(second, 1, 10, [](SciterWindow, std::uintptr_t) {
        sciter::api()->SciterExec(kAppStop, 3, 0);
    });
    EXPECT_EQ(runLoop(second), 3);
    api->SciterPostMessage(second, kMessageClose, 0, 0);
    EXPECT_EQ(runLoop(second), 0);
}

}  // namespace
