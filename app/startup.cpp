#include "app/startup.h"

#include <QApplication>


#include "app/engine_api.h"
#include "app/start_mode.h"
#include "bridge/native_util.h"
#include "net/service_api.h"
#include "platform/window_messages.h"
#include "system/process_facts.h"
#include "system/settings_store.h"
#include "system/single_instance.h"
#include "ui/main_window.h"
#include "ui/page_resources.h"
#include "ui/tiny_window.h"
#include "ui/window_util.h"
#include "ui/toolkit_dialogs.h"

extern const unsigned char kUiArchive[];
extern const std::size_t kUiArchiveSize;

namespace pellanor::app {

namespace {

constexpr std::uint32_t kFirstWindowFlags = kWindowMain | kWindowPopup | kWindowDebug;  // 896
// The installer and uninstaller are ordinary windows: a wizard that stays above every other
// window would hide the folder dialog and whatever the user checks while it waits.
constexpr std::uint32_t kSetupWindowFlags = kWindowMain | kWindowDebug;

void setEngineOptions(const SciterApi* api) {
    api->SciterSetOption(0, kOptionScriptFeatures, 15);
    api->SciterSetOption(0, kOptionFontSmoothing, 3);
    api->SciterSetOption(0, kOptionMaxHttpDataMb, 1024);
    api->SciterSetOption(0, kOptionUxTheming, 1);
    // Page windows are created debuggable, and the engine serves the inspector of such windows
    // on a local port, through which any process of the machine could drive the pages and
    // their native objects. It stays closed unless the environment opens it
    // (QTWEBENGINE_REMOTE_DEBUGGING=127.0.0.1:<port>), as tests and page developers do.
    api->SciterSetOption(0, kOptionInspectorPort, 0);
}

void registerScriptObjects(const SciterApi* api) {
    const ui::WindowUtil& windowUtil = ui::WindowUtil::instance();
    api->SciterSetGlobalAsset(windowUtil.scriptObject(), ui::WindowUtil::scriptClass().passport());
    const bridge::NativeUtil& nativeUtil = bridge::NativeUtil::instance();
    api->SciterSetGlobalAsset(nativeUtil.scriptObject(), bridge::nativeUtilClass().passport());
    static void* const virtualKey = ui::virtualKeyClass().bind(nullptr);
    api->SciterSetGlobalAsset(virtualKey, ui::virtualKeyClass().passport());
}

// Broadcasts from other copies reach this copy's windows as the engine's registered messages of
// the same name. On Windows the system delivers them to the windows itself; elsewhere the
// platform's listener carries them here. It hears only the names registered here, so the shell's
// own broadcasts never reach the pages.
std::unique_ptr<platform::BroadcastListener> forwardBroadcasts(const SciterApi* api) {
    ui::registerMainWindowBroadcasts();
    return platform::listenForBroadcasts(
        [api](const std::string& name, std::uintptr_t wparam, std::intptr_t lparam) {
            if (const std::uint32_t message = api->SciterRegisterMessage(name.c_str())) {
                api->SciterPostMessage(kBroadcastWindow, message, wparam, lparam);
            }
        });
}

// The pages write "usageData" while the program runs, so it is read at every ask rather than
// once here: switching it off stops even an event already waiting for its retry. The command
// line installs no consent; whoever runs it asks for the event directly.
void requireUsageDataConsent() {
    net::setEventConsent(
        [] { return system::getSetting(QStringLiteral("usageData"), QStringLiteral("0")) == "1"; });
}

}  // namespace

const std::vector<std::u16string>& applicationArguments() { return system::programArguments(); }

int startUp(const LoopFunction& loop, std::shared_ptr<ui::TinyWindow>& firstWindow) {
    const StartMode mode = startModeOf(applicationArguments());
    if (takesPartInSingleInstance(mode) && system::anotherInstanceRuns()) {
        system::broadcastShowMainWindow();
        return 0;
    }
    // Qt is told only the program's name; the real command line stays with the engine.
    static char programName[] = "Pellanor.exe";
    static char* qtArguments[] = {programName, nullptr};
    static int qtArgumentCount = 1;
    QApplication application(qtArgumentCount, qtArguments);
    ui::installToolkitDialogsOfThisApplication();
    requireUsageDataConsent();

    const SciterApi* api = engineApi();
    ui::openUiArchive(kUiArchive, kUiArchiveSize);
    setEngineOptions(api);
    registerScriptObjects(api);
    const auto listener = forwardBroadcasts(api);

    firstWindow = ui::TinyWindow::create(mode == StartMode::Normal ? kFirstWindowFlags
                                                                   : kSetupWindowFlags);
    firstWindow->load(firstPageUrl(mode));
    firstWindow->expand();
    return loop();
}

int run(const std::vector<std::string>& arguments) {
    std::vector<std::u16string> wide;
    for (const std::string& argument : arguments) {
        wide.push_back(QString::fromStdString(argument).toStdU16String());
    }
    system::setProgramArguments(std::move(wide));
    std::vector<const char16_t*> pointers;
    for (const std::u16string& argument : applicationArguments()) {
        pointers.push_back(argument.c_str());
    }

    const SciterApi* api = engineApi();
    api->SciterExec(kAppInit, static_cast<std::intptr_t>(pointers.size()),
                    reinterpret_cast<std::intptr_t>(pointers.data()));
    std::shared_ptr<ui::TinyWindow> firstWindow;
    const int result = startUp(
        [api] { return static_cast<int>(api->SciterExec(kAppLoop, 0, 0)); }, firstWindow);
    firstWindow.reset();
    api->SciterExec(kAppShutdown, 0, 0);
    return result;
}

}  // namespace pellanor::app
