// The program's shell with real windows under a virtual display: close to tray and back through
// the tray icon, the quit and show messages from other processes, deferred calls, and the
// outside-click hook. A tray host (trayer) is started for the tray cases when it is installed.
#include <QApplication>
#include <QBuffer>
#include <QCursor>
#include <QImage>
#include <QMouseEvent>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <thread>

#include "bridge/native_util.h"
#include "platform/named_mutex.h"
#include "platform/window_messages.h"
#include "product/product.h"
#include "system/single_instance.h"
#include "tests/engine/engine_fixture.h"
#include "tests/util/log_capture.h"
#include "ui/deferred_calls.h"
#include "ui/main_window.h"
#include "ui/menu_hook.h"
#include "ui/page_resources.h"
#include "ui/page_urls.h"
#include "ui/window_util.h"

namespace {

using pellanor::test_support::EngineFixture;
using pellanor::test_support::LogCapture;
using pellanor::test_support::page;
using pellanor::test_support::TestObject;
using pellanor::ui::TinyWindow;
using pellanor::ui::WindowUtil;

// Lets the UI thread work until `condition` holds or `limitMs` has passed.
template <typename Condition>
bool pumpUntil(Condition condition, int limitMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void pumpFor(int ms) {
    pumpUntil([] { return false; }, ms);
}

QWidget* widgetTitled(const QString& title) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowTitle() == title) return widget;
    }
    return nullptr;
}

QSystemTrayIcon* trayIcon() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* icon = widget->findChild<QSystemTrayIcon*>()) return icon;
    }
    return nullptr;
}

class Shell : public EngineFixture {
protected:
    static void SetUpTestSuite() {
        EngineFixture::SetUpTestSuite();
        static bool registered = false;
        if (registered) return;
        registered = true;
        static auto* probe = new TestObject("Probe");
        probe->method("report", 1, [](const std::vector<sciter::value>& args) {
            reports().push_back(QString::fromStdU16String(args.at(0).getString()));
            return sciter::value();
        });
        api->SciterSetGlobalAsset(probe, probe->passport(api));
        api->SciterSetGlobalAsset(pellanor::bridge::NativeUtil::instance().scriptObject(),
                                  pellanor::bridge::nativeUtilClass().passport());
    }

    void SetUp() override {
        ASSERT_TRUE(m_objects.isValid());
        qputenv("PELLANOR_OBJECTS_DIR", m_objects.path().toUtf8());
        reports().clear();
        const std::vector<std::pair<QString, QByteArray>> items = {
            {QStringLiteral("main/main.html"), page(m_mainScript)},
            {QStringLiteral("main/tray.html"), page("")},
            {QStringLiteral("common/img/logo.png"), logo()},
        };
        m_packed = engine::packArchive(items);
        pellanor::ui::openUiArchive(reinterpret_cast<const unsigned char*>(m_packed.constData()),
                                    static_cast<std::size_t>(m_packed.size()));
        pellanor::ui::setMinimizeOnClose(true);
    }

    void TearDown() override {
        for (SciterWindow window : {m_main, m_tray}) {
            if (api->SciterIsWindow(window)) api->SciterHookPassOn(window, kMessageClose, 0, 0);
        }
        pellanor::ui::registerMainWindow(nullptr);
        pellanor::ui::registerTrayWindow(nullptr);
        pellanor::ui::disableMenuOutsideClickClose();
        qunsetenv("PELLANOR_OBJECTS_DIR");
        EngineFixture::TearDown();
    }

    static QByteArray logo() {
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(Qt::darkCyan);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return png;
    }

    static std::vector<QString>& reports() {
        static std::vector<QString> all;
        return all;
    }

    // The main page's and the tray page's windows, opened as the pages open them.
    void openShell(bool shown = true) {
        m_main = WindowUtil::instance().createWindow(pellanor::ui::kMainPageUrl, kWindowMain, true);
        m_tray = WindowUtil::instance().createWindow(pellanor::ui::kTrayPageUrl, 0, false);
        ASSERT_NE(m_main, 0);
        ASSERT_NE(m_tray, 0);
        api->SciterSetTitle(m_main, u"shell-main");
        api->SciterSetTitle(m_tray, u"shell-tray");
        if (shown) api->SciterShowWindow(m_main, kShowShow);
    }

    std::shared_ptr<TinyWindow> tinyWindow(SciterWindow handle) const {
        for (const auto& window : WindowUtil::instance().windows()) {
            if (window->handle() == handle) return window;
        }
        return nullptr;
    }

    QByteArray m_mainScript;
    SciterWindow m_main = 0;
    SciterWindow m_tray = 0;
    QTemporaryDir m_objects;

private:
    QByteArray m_packed;
};

// --- main window and tray ---------------------------------------------------------------------

class ShellTray : public Shell {
protected:
    static void SetUpTestSuite() {
        Shell::SetUpTestSuite();  // the engine's options made the application object
        if (QSystemTrayIcon::isSystemTrayAvailable()) return;
        const QString trayer = QStandardPaths::findExecutable(QStringLiteral("trayer"));
        if (trayer.isEmpty()) return;
        s_trayHost = new QProcess;
        s_trayHost->start(trayer, {QStringLiteral("--edge"), QStringLiteral("bottom"),
                                   QStringLiteral("--align"), QStringLiteral("right")});
        pumpUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); });
    }
    static void TearDownTestSuite() {
        if (!s_trayHost) return;
        s_trayHost->kill();
        s_trayHost->waitForFinished();
        delete s_trayHost;
        s_trayHost = nullptr;
    }

    void SetUp() override {
        Shell::SetUp();
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            GTEST_SKIP() << "no notification area: install trayer (Debian package trayer)";
        }
    }

    static inline QProcess* s_trayHost = nullptr;
};

TEST_F(ShellTray, ClosingHidesToTheTrayAndTheTrayIconBringsItBack) {
    LogCapture log;
    EXPECT_FALSE(pellanor::ui::setTrayIcon()) << "no tray window yet";
    openShell();
    ASSERT_TRUE(pellanor::ui::setTrayIcon());
    EXPECT_TRUE(pellanor::ui::setTrayIcon()) << "a refresh";
    QSystemTrayIcon* icon = trayIcon();
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->toolTip(), QStringLiteral("Pellanor"));

    // The close button (a close request) and the system menu's Close both hide it.
    api->SciterPostMessage(m_main, kMessageClose, 0, 0);
    EXPECT_TRUE(pumpUntil([&] { return !api->SciterIsVisible(m_main); }));
    api->SciterShowWindow(m_main, kShowShow);
    api->SciterPostMessage(m_main, kMessageSysCommand, kSysCommandClose | 0x2, 0);
    EXPECT_TRUE(pumpUntil([&] { return !api->SciterIsVisible(m_main); }));
    EXPECT_TRUE(api->SciterIsWindow(m_main));
    EXPECT_TRUE(log.contains("MainWindowSubclass", "WM_CLOSE intercepted, minimize to tray"));
    EXPECT_TRUE(log.contains("MainWindowSubclass", "SC_CLOSE intercepted, minimize to tray"));

    emit icon->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(api->SciterIsVisible(m_main));

    // A right click near the screen's corner opens the menu at the cursor, inside the work area.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCursor::setPos(screen.right() - 2, screen.bottom() - 2);
    api->SciterPlaceWindow(m_tray, kZOrderKeep, true, 0, 0, kShowHide, false);
    QWidget* menu = widgetTitled(QStringLiteral("shell-tray"));
    ASSERT_NE(menu, nullptr);
    menu->resize(200, 120);
    emit icon->activated(QSystemTrayIcon::Context);
    ASSERT_TRUE(api->SciterIsVisible(m_tray));
    SciterRect frame{};
    SciterRect area{};
    ASSERT_TRUE(api->SciterWindowRect(m_tray, &frame));
    ASSERT_TRUE(api->SciterMonitorWorkArea(screen.right() - 2, screen.bottom() - 2, &area));
    EXPECT_GE(frame.left, area.left);
    EXPECT_LE(frame.right, area.right);
    EXPECT_GE(frame.top, area.top);
    EXPECT_LE(frame.bottom, area.bottom);
    emit icon->activated(QSystemTrayIcon::Context);
    EXPECT_FALSE(api->SciterIsVisible(m_tray));

    // The tray window going takes the icon with it.
    api->SciterHookPassOn(m_tray, kMessageClose, 0, 0);
    EXPECT_EQ(trayIcon(), nullptr);
}

TEST_F(ShellTray, ExitAndTheSwitchedOffFlagCloseForReal) {
    LogCapture log;
    openShell();
    pellanor::ui::exitApp();
    EXPECT_TRUE(pumpUntil([&] { return !api->SciterIsWindow(m_main); }));
    EXPECT_TRUE(log.contains("NativeUtil", "exitApp requested"));
    EXPECT_TRUE(log.contains("MainWindowSubclass", "WM_CLOSE allowed for app quit"));
    pellanor::ui::exitApp();
    EXPECT_TRUE(log.contains("NativeUtil", "exitApp: invalid main window hwnd"));

    openShell();
    ASSERT_TRUE(pellanor::ui::setMinimizeOnClose(false));
    api->SciterPostMessage(m_main, kMessageClose, 0, 0);
    EXPECT_TRUE(pumpUntil([&] { return !api->SciterIsWindow(m_main); }));
}

// Another copy's requests reach the windows through the program's broadcast listener, which
// this test runs as the program does.
TEST_F(Shell, OtherCopiesShowTheMainWindowAndQuitIt) {
    pellanor::ui::registerMainWindowBroadcasts();
    const auto listener = pellanor::platform::listenForBroadcasts(
        [](const std::string& name, std::uintptr_t wparam, std::intptr_t lparam) {
            if (const std::uint32_t message = api->SciterRegisterMessage(name.c_str())) {
                api->SciterPostMessage(kBroadcastWindow, message, wparam, lparam);
            }
        });
    ASSERT_NE(listener, nullptr);
    LogCapture log;
    openShell(false);
    // A second start of the program finds us loading, asks us to show ourselves and leaves.
    ASSERT_EQ(pellanor::platform::createNamedMutex(std::string(pellanor::product::kName) +
                                                   pellanor::system::kLoadingMutexSuffix),
              pellanor::platform::MutexCreation::Created);
    QProcess second;
    second.start(QStringLiteral(PELLANOR_PROGRAM), QStringList());
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(pumpUntil([&] { return api->SciterIsVisible(m_main); }));

    const int quit = QProcess::execute(QStringLiteral(PELLANOR_CLI),
                                       {QStringLiteral("notifyRunningInstanceQuit")});
    EXPECT_EQ(quit, 0);
    EXPECT_TRUE(pumpUntil([&] { return !api->SciterIsWindow(m_main); }));
    EXPECT_TRUE(log.lines().contains(QStringLiteral("ON msg WM_CLOSE_THIS_APP")));
    EXPECT_TRUE(log.contains("MainWindowSubclass", "WM_CLOSE allowed for app quit"));
}

// --- deferred calls ---------------------------------------------------------------------------

TEST_F(Shell, TimersFireOnceInOrderAndWhatIsGoneIsSkippedWithItsLine) {
    using pellanor::ui::runDownloadCallbackOnUiThread;
    using pellanor::ui::setTimeoutOnce;
    LogCapture log;
    QStringList fired;
    const auto note = [&fired](const QString& what) {
        return [&fired, what](const QVariantList& arguments, QString&) {
            fired << what + (arguments.isEmpty()
                                 ? QString()
                                 : QLatin1Char(':') +
                                       arguments[0].toMap()[QStringLiteral("type")].toString());
            return true;
        };
    };
    EXPECT_EQ(setTimeoutOnce(note(QStringLiteral("early")), 0), 0u);
    EXPECT_EQ(runDownloadCallbackOnUiThread(QStringLiteral("dl_1"), {}, false), 0u);
    EXPECT_TRUE(log.contains("NativeUtil", "setTimeoutOnce: no main window"));
    EXPECT_TRUE(log.contains("NativeUtil", "runDownloadCallbackOnUiThread: no main window"));

    openShell();
    pellanor::ui::registerDownloadCallback(QStringLiteral("dl_1"), note(QStringLiteral("dl_1")));
    const QVariantMap progress{{QStringLiteral("type"), QStringLiteral("progress")}};
    const QVariantMap done{{QStringLiteral("type"), QStringLiteral("done")}};
    const unsigned late = setTimeoutOnce(note(QStringLiteral("late")), 150);
    const unsigned delivery =
        runDownloadCallbackOnUiThread(QStringLiteral("dl_1"), progress, false);
    const unsigned soon = setTimeoutOnce(note(QStringLiteral("soon")), -5);
    EXPECT_GE(late, 1u);
    EXPECT_EQ(delivery, late + 1);
    EXPECT_EQ(soon, delivery + 1);
    setTimeoutOnce(
        [](const QVariantList&, QString& error) {
            error = QStringLiteral("thrown");
            return false;
        },
        20);
    unsigned fromWorker = 0;
    std::thread([&] {
        fromWorker = runDownloadCallbackOnUiThread(QStringLiteral("dl_1"), done, true);
    }).join();
    EXPECT_NE(fromWorker, 0u);
    ASSERT_TRUE(pumpUntil([&] { return fired.contains(QStringLiteral("dl_1:done")); }));
    runDownloadCallbackOnUiThread(QStringLiteral("dl_1"), progress, false);  // after the final one
    runDownloadCallbackOnUiThread(QStringLiteral("dl_9"), progress, false);  // never registered
    ASSERT_TRUE(pumpUntil([&] { return fired.contains(QStringLiteral("late")); }));
    pumpFor(200);
    EXPECT_EQ(fired, (QStringList{QStringLiteral("dl_1:progress"), QStringLiteral("soon"),
                                  QStringLiteral("dl_1:done"), QStringLiteral("late")}));
    EXPECT_TRUE(log.contains("NativeUtil", "setTimeoutOnce callback exception"));
    EXPECT_TRUE(log.contains("NativeUtil",
                             "OnDownloadUiThreadCallback: requestId=dl_1 no longer active, skip"));
    EXPECT_TRUE(log.contains("NativeUtil",
                             "OnDownloadUiThreadCallback: requestId=dl_9 no longer active, skip"));

    // The main window's timers go with it: what was pending never runs, nothing new is taken.
    setTimeoutOnce(note(QStringLiteral("orphan")), 100);
    pellanor::ui::exitApp();
    ASSERT_TRUE(pumpUntil([&] { return !api->SciterIsWindow(m_main); }));
    EXPECT_EQ(setTimeoutOnce(note(QStringLiteral("after")), 0), 0u);
    EXPECT_TRUE(log.contains("NativeUtil", "setTimeoutOnce: invalid hwnd"));
    pumpFor(300);
    EXPECT_EQ(fired.size(), 4);
}

TEST_F(Shell, APageFunctionRunsOnceAndItsErrorIsOnlyLogged) {
    LogCapture log;
    m_mainScript = R"js(
        const first = NativeUtil.setTimeoutOnce(() => { throw new Error('page error'); }, 0);
        const second = NativeUtil.setTimeoutOnce(() => Probe.report('fired ' + first), 10);
        Probe.report('ids ' + first + ' ' + second);
    )js";
    SetUp();
    openShell();
    ASSERT_TRUE(pumpUntil([] { return reports().size() >= 2; }));
    pumpFor(200);
    ASSERT_EQ(reports().size(), 2u);
    const QStringList ids = reports()[0].split(QLatin1Char(' '));
    EXPECT_EQ(ids[2].toUInt(), ids[1].toUInt() + 1);
    EXPECT_EQ(reports()[1], QStringLiteral("fired ") + ids[1]);
    EXPECT_TRUE(log.contains("NativeUtil", "setTimeoutOnce callback exception"));
}

// --- outside-click hook -----------------------------------------------------------------------

TEST_F(Shell, APressOutsideTheMenuRaisesTheEventAndOneInsideDoesNot) {
    LogCapture log;
    openShell();
    api->SciterPlaceWindow(m_tray, kZOrderTopMost, true, 10, 10, kShowShow, false);
    int events = 0;
    tinyWindow(m_tray)->onEvent = [&events](std::uint32_t kind, const QString& name) {
        if (kind == kEventCustom && name == QLatin1String("NATIVE_MENU_OUTSIDE_CLICK")) ++events;
    };
    ASSERT_TRUE(pellanor::ui::enableMenuOutsideClickClose(10, 10, 100, 50));
    ASSERT_TRUE(pellanor::ui::enableMenuOutsideClickClose(10, 10, 100, 50));
    EXPECT_EQ(
        log.lines().count(LogCapture::tagged("NativeUtil", "menu outside click hook uninstalled")),
        1);
    EXPECT_TRUE(
        log.contains("NativeUtil", "menu outside click hook installed. rect: 10 10 100 50"));

    QWindow* target = widgetTitled(QStringLiteral("shell-main"))->windowHandle();
    ASSERT_NE(target, nullptr);
    const auto send = [target](QEvent::Type type, Qt::MouseButton button, QPoint global) {
        QMouseEvent event(type, target->mapFromGlobal(global), global, button,
                          type == QEvent::MouseMove ? Qt::NoButton : button, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
        pumpFor(100);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton, QPoint(50, 30));  // inside the menu
    send(QEvent::MouseMove, Qt::NoButton, QPoint(400, 300));
    send(QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(400, 300));
    EXPECT_EQ(events, 0);
    send(QEvent::MouseButtonPress, Qt::RightButton, QPoint(400, 300));
    EXPECT_TRUE(pumpUntil([&] { return events == 1; }));
    send(QEvent::MouseButtonPress, Qt::LeftButton, QPoint(110, 60));  // just past the edges
    EXPECT_TRUE(pumpUntil([&] { return events == 2; }));

    EXPECT_TRUE(pellanor::ui::disableMenuOutsideClickClose());
    EXPECT_TRUE(pellanor::ui::disableMenuOutsideClickClose());
    send(QEvent::MouseButtonPress, Qt::LeftButton, QPoint(400, 300));
    EXPECT_EQ(events, 2);
    EXPECT_EQ(
        log.lines().count(LogCapture::tagged("NativeUtil", "menu outside click hook uninstalled")),
        2);
}

TEST(TrayMenuPosition, OpensAboveTheCursorAndStaysInsideTheWorkArea) {
    using pellanor::ui::Point;
    const SciterRect area{0, 0, 1280, 760};
    struct Case {
        Point cursor;
        const SciterRect* area;
        Point expected;
    } const cases[] = {
        {{640, 700}, &area, {540, 578}},      // centred, its bottom 2 px above the cursor
        {{1270, 750}, &area, {1080, 628}},    // near the right edge: pulled left
        {{20, 750}, &area, {0, 628}},         // near the left edge: pushed right
        {{640, 50}, &area, {540, 0}},         // near the top: pushed down
        {{1270, 750}, nullptr, {1170, 628}},  // no work area: left where it falls
    };
    for (const Case& c : cases) {
        const Point at = pellanor::ui::trayMenuPosition(c.cursor, 200, 120, c.area);
        EXPECT_EQ(at.x, c.expected.x) << c.cursor.x << ',' << c.cursor.y;
        EXPECT_EQ(at.y, c.expected.y) << c.cursor.x << ',' << c.cursor.y;
    }
}

}  // namespace
