// Process queries over the platform snapshot. The first snapshot entry is the system's idle
// process and is never examined.
#include "system/processes.h"

#include <functional>

#include "log/logger.h"
#include "platform/processes.h"

namespace pellanor {
namespace {

constexpr char kTag[] = "NativeUtil";

// Calls `visit` for every entry after the first; false when no snapshot could be taken.
bool forEachProcess(const std::function<void(const platform::ProcessEntry&)>& visit) {
    const auto snapshot = platform::processSnapshot();
    if (!snapshot) return false;
    for (std::size_t i = 1; i < snapshot->size(); ++i) visit((*snapshot)[i]);
    return true;
}

bool isLive(std::uint32_t pid) {
    const platform::ProcessHandle process = platform::openProcess(pid);
    return process.valid() && process.exitCode() == platform::kStillActive;
}

}  // namespace

const QStringList& excludedProcessNames() {
    static const QStringList names =
        QStringLiteral(
            "explorer.exe|ntoskrnl.exe|WerFault.exe|backgroundTaskHost.exe|"
            "backgroundTransferHost.exe|winlogon.exe|wininit.exe|csrss.exe|lsass.exe|smss.exe|"
            "services.exe|taskeng.exe|taskhost.exe|dwm.exe|conhost.exe|svchost.exe|sihost.exe|"
            "uihost.exe|taskhostw.exe|igfxEM.exe|ctfmon.exe|StartMenuExperienceHost.exe|"
            "RuntimeBroker.exe|dllhost.exe|SearchApp.exe|YourPhone.exe|SettingSyncHost.exe|"
            "TextInputHost.exe|SecurityHealthSystray.exe|Cortana.exe|UserOOBEBroker.exe|"
            "Video.UI.exe|Microsoft.Photos.exe|smartscreen.exe|SearchFilterHost.exe|"
            "spacedeskServiceTray.exe|GameBar.exe|GameBarFTServer.exe|GameBarPresenceWriter.exe|"
            "javaw.exe|CefSharp.BrowserSubprocess.exe|LocationNotificationWindows.exe|WWAHost.exe|"
            "NVIDIA Web Helper.exe|"
            "WindowsInternal.ComposableShell.Experiences.TextInput.InputApp.exe|"
            "RtkAudUService64.exe|IGCC.exe|IGCCTray.exe|cmd.exe|ApplicationFrameHost.exe|"
            "prevhost.exe|nvcontainer.exe|WUDFHost.exe|fontdrvhost.exe|IntelCpHDCPSvc.exe|"
            "IntelCpHeciSvc.exe|igfxCUIService.exe|WmiPrvSE.exe|dasHost.exe|spoolsv.exe|"
            "CxAudioSvc.exe|CxUIUSvc64.exe|CxUtilSvc.exe|FlashHelperService.exe|"
            "OneApp.IGCC.WinService.exe|hydra_service.exe|jhi_service.exe|IpOverUsbSvc.exe|"
            "Locator.exe|LMS.exe|sqlservr.exe|RstMwService.exe|SECOMN64.exe|svc.exe|sqlwriter.exe|"
            "unsecapp.exe|winrdlv3.exe|SearchIndexer.exe|SearchUI.exe|SearchHost.exe|"
            "ShellExperienceHost.exe|SecurityHealthHost.exe|StandardCollector.Service.exe")
            .split(QLatin1Char('|'));
    return names;
}

bool isProcessRunning(const QString& name) {
    const std::string wanted = name.toStdString();
    bool running = false;
    // Any live match answers: a copy that has just exited may still be listed after a live one,
    // and junk cleaning trusts this answer before it deletes a running browser's cache.
    forEachProcess([&](const platform::ProcessEntry& entry) {
        if (!running && entry.exeName == wanted) running = isLive(entry.pid);
    });
    return running;
}

QString getProcessIDList(const QString& name) {
    const std::string wanted = name.toStdString();
    QStringList ids;
    forEachProcess([&](const platform::ProcessEntry& entry) {
        if (entry.exeName == wanted && isLive(entry.pid)) ids << QString::number(entry.pid);
    });
    return ids.join(QLatin1Char(','));
}

QString getProcessNameList() {
    const QStringList& excluded = excludedProcessNames();
    QStringList names;
    forEachProcess([&](const platform::ProcessEntry& entry) {
        if (!isLive(entry.pid)) return;
        const QString exeName = QString::fromStdString(entry.exeName);
        if (names.contains(exeName) || excluded.contains(exeName)) return;
        names << exeName;
    });
    return names.join(QLatin1Char(','));
}

bool killProcess(const QString& name) {
    const std::string wanted = name.toStdString();
    logging::info(kTag, "try to kill process {}", wanted);
    bool killed = false;
    forEachProcess([&](const platform::ProcessEntry& entry) {
        if (entry.exeName != wanted) return;
        logging::info(kTag, "found matched exe {} open process", entry.exeName);
        platform::ProcessHandle process = platform::openProcess(entry.pid);
        logging::info(kTag, "hProcess={:x}", process.value());
        const auto code = process.exitCode();
        logging::info(kTag, "exit code for this process is {}", code.value_or(0));
        if (code) {
            logging::info(kTag, "before terminate process");
            killed = process.terminate(*code);
            logging::info(kTag, "after terminate process");
        }
        process.close();
        logging::info(kTag, "after close handle for hprocess");
    });
    logging::info(kTag, "before close snapshot handle and exit this function");
    logging::info(kTag, "after close snapshot handle and exit this function");
    return killed;
}

}  // namespace pellanor
