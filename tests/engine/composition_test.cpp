// Pages drawn without the GPU, as the engine runs them by default, reach the screen through Qt
// Quick's software renderer. Its own process: the scene graph is chosen once, before the
// application object exists.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QQuickWindow>
#include <QScreen>

#include "tests/engine/engine_fixture.h"

using pellanor::test_support::EngineFixture;
using pellanor::test_support::TestObject;
using sciter::value;

namespace {

constexpr std::uintptr_t kLookTimer = 0x100;
constexpr QRgb kPageColour = 0xffd01010;
const SciterRect kFrame{120, 100, 420, 300};

bool painted = false;
bool seen = false;

QRgb screenPixelAtFrameCentre() {
    const QPixmap pixel = QGuiApplication::primaryScreen()->grabWindow(
        0, (kFrame.left + kFrame.right) / 2, (kFrame.top + kFrame.bottom) / 2, 1, 1);
    return pixel.isNull() ? 0 : pixel.toImage().pixel(0, 0);
}

// Looks at the screen until the page's colour is there; the loop's watchdog bounds the wait.
void lookAtScreen(SciterWindow window, std::uintptr_t) {
    seen = painted && screenPixelAtFrameCentre() == kPageColour;
    if (seen) {
        sciter::api()->SciterPostMessage(window, kMessageClose, 0, 0);
    } else {
        sciter::api()->SciterSetTimer(window, kLookTimer, 20, &lookAtScreen);
    }
}

class EngineComposition : public EngineFixture {};

TEST_F(EngineComposition, APageDrawnWithoutTheGpuReachesTheScreenThroughTheSoftwareRenderer) {
    ASSERT_FALSE(qEnvironmentVariableIsSet("QT_QUICK_BACKEND")) << "the scene graph is chosen";
    ASSERT_TRUE(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").split(' ').contains("--disable-gpu"));
    EXPECT_EQ(QQuickWindow::sceneGraphBackend().toStdString(), "software");

    auto* probe = new TestObject("Probe");
    probe->method("painted", 0, [](const std::vector<value>&) {
        painted = true;
        return value();
    });
    ASSERT_TRUE(api->SciterSetGlobalAsset(probe, probe->passport(api)));
    const SciterWindow window = api->SciterCreateWindow(kWindowMain, &kFrame, 0);
    servePages(window, {{"t/colour.html",
                         "<!doctype html><body style='margin:0;background:#d01010'><script>"
                         "requestAnimationFrame(() => requestAnimationFrame(() => "
                         "Probe.painted()));</script></body>"}});
    api->SciterLoadFile(window, u"this://app/t/colour.html");
    api->SciterWindowCommand(window, kWindowSetState, kWindowStateShown);
    api->SciterSetTimer(window, kLookTimer, 20, &lookAtScreen);
    EXPECT_EQ(runLoop(window), 0);
    EXPECT_TRUE(painted);
    EXPECT_TRUE(seen) << "the screen shows " << std::hex << screenPixelAtFrameCentre();
}

}  // namespace
