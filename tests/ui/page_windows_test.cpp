// Page windows under a virtual display: what createWindow opens and keeps, what a page learns
// from its own window object, and where its content comes from.
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWindow>

#include "tests/engine/engine_fixture.h"
#include "tests/util/log_capture.h"
#include "ui/page_resources.h"
#include "ui/window_util.h"

namespace {

using pellanor::test_support::EngineFixture;
using pellanor::test_support::page;
using pellanor::test_support::TestObject;
using pellanor::ui::TinyWindow;
using pellanor::ui::WindowUtil;

TEST(PageAddresses, ArchiveItemsAreNamedByThePathUnderTheRoot) {
    using pellanor::ui::archiveItemPath;
    EXPECT_EQ(archiveItemPath(QStringLiteral("this://app/main/loading.html")),
              QStringLiteral("main/loading.html"));
    EXPECT_EQ(archiveItemPath(QStringLiteral("this://app///main/loading.html")),
              QStringLiteral("main/loading.html"));
    EXPECT_EQ(archiveItemPath(QStringLiteral("this://app/main/js/a.js?v=2#top")),
              QStringLiteral("main/js/a.js"));
    EXPECT_TRUE(archiveItemPath(QStringLiteral("this://apps/main.html")).isEmpty());
    EXPECT_TRUE(archiveItemPath(QStringLiteral("file:///main.html")).isEmpty());
}

TEST(PageAddresses, ResourceNamesAndTypesFollowTheExtension) {
    using pellanor::ui::resourceKey;
    const auto expectKey = [](const char* url, const char* name, const char* type) {
        const auto key = resourceKey(QString::fromUtf8(url));
        ASSERT_TRUE(key.has_value()) << url;
        EXPECT_EQ(key->name, QString::fromUtf8(name)) << url;
        EXPECT_EQ(key->type, QString::fromUtf8(type)) << url;
    };
    expectKey("res:page.html", "page", "HTML");
    expectKey("res://logo.png", "logo", "png");
    expectKey("res:INDEX.Htm", "INDEX", "HTML");
    expectKey("res:readme", "readme", "HTML");
    expectKey("res:theme.min.css", "theme.min", "css");
    EXPECT_FALSE(resourceKey(QStringLiteral("this://app/x.html")).has_value());
    // The name is cut before the extension is looked for.
    const auto longKey = resourceKey(QStringLiteral("res:") + QString(300, QLatin1Char('a')) +
                                     QStringLiteral(".png"));
    EXPECT_EQ(longKey->name.size(), 260);
    EXPECT_EQ(longKey->type, QStringLiteral("HTML"));
}

// Pages report what they saw through Probe.report(json), which also ends the loop.
class PageWindows : public EngineFixture {
protected:
    static void SetUpTestSuite() {
        EngineFixture::SetUpTestSuite();
        static bool registered = false;
        if (registered) return;
        registered = true;
        static auto* probe = new TestObject("Probe");
        probe->method("report", 1, [](const std::vector<sciter::value>& args) {
            reports().push_back(QJsonDocument::fromJson(
                QString::fromStdU16String(args.at(0).getString()).toUtf8()).object());
            api->SciterExec(kAppStop, 0, 0);
            return sciter::value();
        });
        api->SciterSetGlobalAsset(probe, probe->passport(api));
        api->SciterSetGlobalAsset(WindowUtil::instance().scriptObject(),
                                  WindowUtil::scriptClass().passport());
        api->SciterSetGlobalAsset(pellanor::ui::virtualKeyClass().bind(nullptr),
                                  pellanor::ui::virtualKeyClass().passport());
    }

    void SetUp() override {
        reports().clear();
        const std::vector<std::pair<QString, QByteArray>> items = {
            {QStringLiteral("t/self.html"), page(kSelfReport)},
            {QStringLiteral("t/other.html"), page(kSelfReport)},
        };
        m_packed = engine::packArchive(items);
        pellanor::ui::openUiArchive(reinterpret_cast<const unsigned char*>(m_packed.constData()),
                                    static_cast<std::size_t>(m_packed.size()));
    }

    static std::vector<QJsonObject>& reports() {
        static std::vector<QJsonObject> all;
        return all;
    }

    // The report of window `handle`, running the loop until it has come (pages of other windows
    // may report in between).
    QJsonObject reportOf(int handle, SciterWindow mainWindow) {
        for (int round = 0; round < 4; ++round) {
            for (const QJsonObject& report : reports()) {
                if (report[QStringLiteral("hwnd")].toInt() == handle) return report;
            }
            if (runLoop(mainWindow) != 0) break;
        }
        ADD_FAILURE() << "no report from window " << handle;
        return {};
    }

    static constexpr char kSelfReport[] = R"js(
        Probe.report(JSON.stringify({
            show: PageWindow.showOnLoaded, hwnd: PageWindow.hwnd(), page: location.href,
            f1: VirtualKey.F1, f5: VirtualKey.F5, f12: VirtualKey.F12, esc: VirtualKey.ESC,
            hasWindowUtil: typeof WindowUtil.createWindow === 'function'}));
    )js";

private:
    QByteArray m_packed;
};

TEST_F(PageWindows, APageSeesItsOwnWindowAndTheKeyCodes) {
    pellanor::test_support::LogCapture log;
    const int handle =
        WindowUtil::instance().createWindow(QStringLiteral("this://app/t/self.html"), kWindowMain, true);
    ASSERT_NE(handle, 0);
    EXPECT_TRUE(log.contains("WindowUtil", QStringLiteral("create page window. path: "
                                                         "this://app/t/self.html. show it on loaded: true")));
    const QJsonObject seen = reportOf(handle, handle);
    EXPECT_TRUE(seen[QStringLiteral("show")].toBool());
    EXPECT_EQ(seen[QStringLiteral("hwnd")].toInt(), handle);
    EXPECT_EQ(seen[QStringLiteral("f1")].toInt(), 112);
    EXPECT_EQ(seen[QStringLiteral("f5")].toInt(), 116);
    EXPECT_EQ(seen[QStringLiteral("f12")].toInt(), 123);
    EXPECT_EQ(seen[QStringLiteral("esc")].toInt(), 27);
    EXPECT_TRUE(seen[QStringLiteral("hasWindowUtil")].toBool());
    api->SciterShowWindow(handle, kShowHide);
}

TEST_F(PageWindows, OpeningAPathAgainKeepsOnlyTheNewWindowListedButLeavesTheOldOneOpen) {
    const QString path = QStringLiteral("this://app//t/other.html");
    const int first = WindowUtil::instance().createWindow(path, 0, false);
    const int second = WindowUtil::instance().createWindow(path, kWindowMain, false);
    ASSERT_NE(first, 0);
    ASSERT_NE(second, first);
    const QJsonObject firstSeen = reportOf(first, second);
    const QJsonObject secondSeen = reportOf(second, second);
    int listed = 0;
    for (const auto& window : WindowUtil::instance().windows()) {
        if (window->pagePath() == path) {
            ++listed;
            EXPECT_EQ(window->hwnd(), second);
        }
    }
    EXPECT_EQ(listed, 1);
    EXPECT_TRUE(api->SciterIsWindow(first));
    // Flags 0 still make a debug window; the page learns it was not asked to show itself.
    EXPECT_FALSE(firstSeen[QStringLiteral("show")].toBool());
    EXPECT_FALSE(secondSeen[QStringLiteral("show")].toBool());
    api->SciterPostMessage(first, kMessageClose, 0, 0);
}

TEST_F(PageWindows, ResourcePagesComeFromTheExecutable) {
    const int handle =
        WindowUtil::instance().createWindow(QStringLiteral("res:probe.html"), kWindowMain, true);
    // The resource page's own script ran: it is what sent the window on to the archive page.
    EXPECT_EQ(reportOf(handle, handle)[QStringLiteral("page")].toString(),
              QStringLiteral("this://app/t/self.html?from=res"));
}

// The desktop's own window of a page window, found by its title; null when there is none.
QWindow* nativeWindowTitled(const QString& title) {
    for (QWindow* native : QGuiApplication::topLevelWindows()) {
        if (native->title() == title) return native;
    }
    return nullptr;
}

bool isToolWindow(const QWindow* native) {
    return (native->flags() & Qt::WindowType_Mask) == Qt::Tool;
}

TEST_F(PageWindows, HidingFromTheTaskBarMakesAHiddenToolWindow) {
    pellanor::test_support::LogCapture log;
    const auto window = TinyWindow::create(0);
    ASSERT_NE(window->handle(), 0);
    const QString title = QStringLiteral("taskbar probe");
    window->setTitle(title);
    window->expand();
    const QWindow* shown = nativeWindowTitled(title);
    ASSERT_NE(shown, nullptr);
    EXPECT_FALSE(isToolWindow(shown));
    EXPECT_TRUE(window->hideFromTaskBar());
    EXPECT_FALSE(api->SciterIsVisible(window->handle()));
    // Changing the style may give the window a new native window; look it up again.
    const QWindow* hidden = nativeWindowTitled(title);
    ASSERT_NE(hidden, nullptr);
    EXPECT_TRUE(isToolWindow(hidden));
    EXPECT_TRUE(log.contains("TinyWindow", QStringLiteral("hide from taskbar")));
    api->SciterPostMessage(window->handle(), kMessageClose, 0, 0);
}

}  // namespace
