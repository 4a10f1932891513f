// The NativeUtil member table. Rows follow the registration order pages have always seen; a
// service joins the table only once its module works, in its own place.
#include "bridge/native_util.h"

#include "bridge/page_log.h"
#include "clean/forced_removal.h"
#include "clean/install_folder.h"
#include "clean/install_manifest.h"
#include "clean/junk_categories.h"
#include "clean/junk_cleaner.h"
#include "clean/pagefile.h"
#include "clean/qq_cleaner.h"
#include "clean/wechat_cleaner.h"
#include "net/device_identity.h"
#include "net/http_client.h"
#include "net/service_api.h"
#include "net/update_download.h"
#include "product/product.h"
#include "scan/deletion_job.h"
#include "scan/duplicate_finder.h"
#include "scan/file_facts.h"
#include "scan/large_file_scanner.h"
#include "system/installed_programs.h"
#include "system/logon_start.h"
#include "system/process_facts.h"
#include "system/processes.h"
#include "system/registry_access.h"
#include "system/settings_store.h"
#include "system/shared_values.h"
#include "system/startup_items.h"
#include "system/system_facts.h"
#include "ui/deferred_calls.h"
#include "ui/desktop_dialogs.h"
#include "ui/main_window.h"
#include "ui/menu_hook.h"
#include "ui/page_urls.h"
#include "util/file_operations.h"
#include "util/shell_integration.h"
#include "util/text_codes.h"

namespace pellanor::bridge {

namespace {

constexpr ParamKind T = ParamKind::Text;
constexpr ParamKind I = ParamKind::Integer;
constexpr ParamKind F = ParamKind::Float;
constexpr ParamKind Fn = ParamKind::Function;
constexpr ParamKind Later = ParamKind::Callable;

using A = const Arguments&;

// A download's reports are taken by the page only when its function ran without error.
net::DownloadCallback pageCallback(const ScriptFunction& function) {
    return [function](const QVariantMap& report) {
        QString error;
        return function({report}, error);
    };
}

// The version queries ask in the language the user chose, else in the detected one; downloads
// report through the main window's deferred delivery (the CLI's timers in pellanor-cli).
void wireServices() {
    net::setLanguageSource([] {
        const QString chosen = system::getSetting(QStringLiteral("app_language"), QString());
        return chosen.isEmpty() ? system::language() : chosen;
    });
    net::DownloadDelivery delivery;
    delivery.registerCallback = [](const QString& requestId, net::DownloadCallback callback) {
        ui::registerDownloadCallback(requestId,
                                     [callback](const QVariantList& arguments, QString&) {
                                         return callback(arguments.value(0).toMap());
                                     });
    };
    delivery.unregisterCallback = ui::unregisterDownloadCallback;
    delivery.deliver = ui::runDownloadCallbackOnUiThread;
    net::setDownloadDelivery(std::move(delivery));
}

std::vector<Member> members() {
    return {
        method("log", {T, T}, [](A a) { return log(a.text(0), a.text(1)); }),
        method("is64BitOS", {}, [](A) { return system::is64BitOS(); }),
        method("isWindows7", {}, [](A) { return system::isWindows7(); }),
        method("isInternetAvailable", {}, [](A) { return net::isInternetAvailable(); }),
        method("getRegistryString", {T, T},
               [](A a) { return system::getRegistryString(a.text(0), a.text(1)); }),
        method("createDesktopShortcut", {T, T, T, T},
               [](A a) {
                   return util::createDesktopShortcut(a.text(0), a.text(1), a.text(2), a.text(3));
               }),
        method("setTrayIcon", {}, [](A) { return ui::setTrayIcon(); }),
        method("getDesktopPath", {}, [](A) { return util::getDesktopPath(); }),
        method("getCommandLine", {}, [](A) { return system::getCommandLine(); }),
        method("isProcessRunning", {T}, [](A a) { return isProcessRunning(a.text(0)); }),
        method("getProcessIDList", {T}, [](A a) { return getProcessIDList(a.text(0)); }),
        method("getProcessNameList", {}, [](A) { return getProcessNameList(); }),
        method("killProcess", {T}, [](A a) { return killProcess(a.text(0)); }),
        method("getSecondsSinceEpoch", {}, [](A) { return system::getSecondsSinceEpoch(); }),
        method("OS", {}, [](A) { return system::OS(); }),
        method("cpuArchitecture", {}, [](A) { return system::cpuArchitecture(); }),
        method("kernelType", {}, [](A) { return system::kernelType(); }),
        method("kernelVersion", {}, [](A) { return system::kernelVersion(); }),
        method("appDataPath", {}, [](A) { return util::appDataPath(); }),
        method("programsPath", {}, [](A) { return util::programsPath(); }),
        method("selectFolder", {T, T},
               [](A a) { return ui::selectFolder(a.text(0), a.text(1)); }),
        method("isNetworkConnected", {}, [](A) { return net::isNetworkConnected(); }),
        method("copyFile", {T, T, I},
               [](A a) { return util::copyFile(a.text(0), a.text(1), a.flag(2)); }),
        method("moveFile", {T, T, I},
               [](A a) { return util::moveFile(a.text(0), a.text(1), a.flag(2)); }),
        method("launch", {T, T, T},
               [](A a) { return util::launch(a.text(0), a.text(1), a.text(2)); }),
        method("setSharedMemoryValue", {T, T},
               [](A a) { return system::setSharedMemoryValue(a.text(0), a.text(1)); }),
        method("getSharedMemoryValue", {T},
               [](A a) { return system::getSharedMemoryValue(a.text(0)); }),
        method("language", {}, [](A) { return system::language(); }),
        method("mkdir", {T}, [](A a) { return util::mkdir(a.text(0)); }),
        method("arguments", {}, [](A) { return system::arguments(); }),
        method("getDiskList", {}, [](A) { return system::getDiskList(); }),
        // Single precision on purpose: the pages have always received these counts rounded so.
        method("getMemeryBits", {}, [](A) { return double{system::getMemeryBits()}; }),
        method("getSystemDriveFreeBits", {},
               [](A) { return double{system::getSystemDriveFreeBits()}; }),
        method("getSystemDriveTotalBits", {},
               [](A) { return double{system::getSystemDriveTotalBits()}; }),
        method("getLogicalDrives", {}, [](A) { return system::getLogicalDrives(); }),
        method("getInstalledPrograms", {}, [](A) { return system::getInstalledPrograms(); }),
        method("uninstallProgram", {T}, [](A a) { return system::uninstallProgram(a.text(0)); }),
        method("scanLargeFiles", {T, F},
               [](A a) { return scan::scanLargeFiles(a.text(0), a.number(1)); }),
        method(
            "startScanLargeFiles", {T, F, Fn},
            [](A a) { return scan::startScanLargeFiles(a.text(0), a.number(1), a.callback(2)); }),
        method("startScanLargeFilesIncremental", {T, F, Fn},
               [](A a) {
                   return scan::startScanLargeFilesIncremental(a.text(0), a.number(1),
                                                               a.callback(2));
               }),
        method("stopScanLargeFiles", {I},
               [](A a) { return scan::stopScanLargeFiles(a.integer(0)); }),
        method("addScanLargeFilesFolder", {I, T},
               [](A a) { return scan::addScanLargeFilesFolder(a.integer(0), a.text(1)); }),
        method("findDuplicateFiles", {T}, [](A a) { return scan::findDuplicateFiles(a.text(0)); }),
        method("startScanDuplicateFiles", {T, Fn},
               [](A a) { return scan::startScanDuplicateFiles(a.text(0), a.callback(1)); }),
        method(
            "startScanDuplicateFilesIncremental", {T, Fn},
            [](A a) { return scan::startScanDuplicateFilesIncremental(a.text(0), a.callback(1)); }),
        method("stopScanDuplicateFiles", {I},
               [](A a) { return scan::stopScanDuplicateFiles(a.integer(0)); }),
        method("addScanDuplicateFilesFolder", {I, T},
               [](A a) { return scan::addScanDuplicateFilesFolder(a.integer(0), a.text(1)); }),
        method("getStartupItems", {}, [](A) { return system::getStartupItems(); }),
        method("removeStartupItem", {T, T, T},
               [](A a) { return system::removeStartupItem(a.text(0), a.text(1), a.text(2)); }),
        method("getPrivacyItems", {}, [](A) { return getPrivacyItems(); }),
        method("cleanPrivacyItems", {T}, [](A a) { return cleanPrivacyItems(a.text(0)); }),
        method("cleanPrivacyItemsAsync", {T, Fn},
               [](A a) { return cleanPrivacyItemsAsync(a.text(0), a.callback(1)); }),
        method("getWechatItems", {}, [](A) { return getWechatItems(); }),
        method("cleanWechatItems", {T}, [](A a) { return cleanWechatItems(a.text(0)); }),
        method("startScanWechat", {Fn}, [](A a) { return startScanWechat(a.callback(0)); }),
        method("stopScanWechat", {}, [](A) { return stopScanWechat(); }),
        method("openWechatFolder", {T}, [](A a) { return openWechatFolder(a.text(0)); }),
        method("startCleanWechat", {T, Fn},
               [](A a) { return startCleanWechat(a.text(0), a.callback(1)); }),
        method("getQqItems", {}, [](A) { return getQqItems(); }),
        method("cleanQqItems", {T}, [](A a) { return cleanQqItems(a.text(0)); }),
        method("startScanQq", {Fn}, [](A a) { return startScanQq(a.callback(0)); }),
        method("stopScanQq", {}, [](A) { return stopScanQq(); }),
        method("openQqFolder", {T}, [](A a) { return openQqFolder(a.text(0)); }),
        method("startCleanQq", {T, Fn}, [](A a) { return startCleanQq(a.text(0), a.callback(1)); }),
        method("getPagefileSize", {}, [](A) { return getPagefileSize(); }),
        method("migratePagefile", {T}, [](A a) { return migratePagefile(a.text(0)); }),
        method("getFileSha256", {T}, [](A a) { return scan::getFileSha256(a.text(0)); }),
        method("getFolderSize", {T}, [](A a) { return scan::getFolderSize(a.text(0)); }),
        method("setRegistryString", {T, T, T},
               [](A a) { return system::setRegistryString(a.text(0), a.text(1), a.text(2)); }),
        method("setRegistryIntValue", {T, T, I},
               [](A a) { return system::setRegistryIntValue(a.text(0), a.text(1), a.integer(2)); }),
        method("removeRegistry", {T, T},
               [](A a) { return system::removeRegistry(a.text(0), a.text(1)); }),
        method("removeRegistryKey", {T}, [](A a) { return system::removeRegistryKey(a.text(0)); }),
        method("removeFile", {T}, [](A a) { return removeFile(a.text(0)); }),
        method("removeDir", {T}, [](A a) { return removeDir(a.text(0)); }),
        method("scheduleSelfDelete", {T}, [](A a) { return scheduleSelfDelete(a.text(0)); }),
        method("openFolder", {T}, [](A a) { return util::openFolder(a.text(0)); }),
        method("getTempPath", {}, [](A) { return util::getTempPath(); }),
        method("toBase64Str", {T}, [](A a) { return util::toBase64Str(a.text(0)); }),
        method("getCursorX", {}, [](A) { return ui::cursorX(); }),
        method("getCursorY", {}, [](A) { return ui::cursorY(); }),
        method("getMonitorCount", {}, [](A) { return ui::monitorCount(); }),
        method("processFolder", {}, [](A) { return util::processFolder(); }),
        method("checkUpdate", {}, [](A) { return net::checkUpdate(); }),
        method("getVersionList", {}, [](A) { return net::getVersionList(); }),
        method("getAppInfo", {}, [](A) { return net::getAppInfo(); }),
        method("submitFeedback", {T}, [](A a) { return net::submitFeedback(a.text(0)); }),
        method("reportEvent", {T}, [](A a) { return net::reportEvent(a.text(0)); }),
        method("getClientId", {}, [](A) { return net::getClientId(); }),
        method("generateQrSvg", {T}, [](A a) { return util::generateQrSvg(a.text(0)); }),
        method("openUrl", {T}, [](A a) { return util::openUrl(a.text(0)); }),
        method("copyToClipboard", {T}, [](A a) { return ui::copyToClipboard(a.text(0)); }),
        method("downloadUpdate", {T, T, Later},
               [](A a) {
                   return net::downloadUpdate(a.text(0), a.text(1), pageCallback(a.function(2)));
               }),
        method("cancelDownload", {T}, [](A a) { return net::cancelDownload(a.text(0)); }),
        method("getSetting", {T, T}, [](A a) { return system::getSetting(a.text(0), a.text(1)); }),
        method("setSetting", {T, T}, [](A a) { return system::setSetting(a.text(0), a.text(1)); }),
        method("isStartupOnBoot", {}, [](A) { return system::isStartupOnBoot(); }),
        method("setStartupOnBoot", {I}, [](A a) { return system::setStartupOnBoot(a.flag(0)); }),
        method("setMinimizeOnClose", {I}, [](A a) { return ui::setMinimizeOnClose(a.flag(0)); }),
        method("exitApp", {},
               [](A) -> Result {
                   ui::exitApp();
                   return {};
               }),
        method("enableMenuOutsideClickClose", {I, I, I, I},
               [](A a) {
                   return ui::enableMenuOutsideClickClose(a.integer(0), a.integer(1), a.integer(2),
                                                          a.integer(3));
               }),
        method("disableMenuOutsideClickClose", {},
               [](A) { return ui::disableMenuOutsideClickClose(); }),
        method("getProcessFullDir", {}, [](A) { return system::getProcessFullDir(); }),
        method("signalMainWindowReady", {}, [](A) { return ui::signalMainWindowReady(); }),
        method(
            "setTimeoutOnce", {Later, I},
            [](A a) { return static_cast<int>(ui::setTimeoutOnce(a.function(0), a.integer(1))); }),
        method("isMainWindowReady", {}, [](A) { return ui::isMainWindowReady(); }),
        method("notifyRunningInstanceQuit", {},
               [](A) -> Result {
                   ui::notifyRunningInstanceQuit();
                   return {};
               }),
        property("isDebug", [] { return Result(false); }),
        property("isAutoReload", [] { return Result(false); }),
        property("canMainWindowTopmost", [] { return Result(true); }),
        property("nativeVersion", [] { return Result(QString::fromLatin1(product::kVersion)); }),
        property("mainWindowPath", [] { return Result(ui::kMainPageUrl); }),
        property("updateWindowPath", [] { return Result(ui::kUpdaterPageUrl); }),
        property("historyWindowPath", [] { return Result(ui::kHistoryPageUrl); }),
        property("hotkeyWindowPath", [] { return Result(ui::kHotKeyPageUrl); }),
        // The installer copies the program's folder tree with copyFile and mkdir; this is what
        // it walks, and how it tells an empty folder or an earlier install of ours.
        method("listFolder", {T}, [](A a) { return util::listFolder(a.text(0)); }),
        // The installer's last word on a folder, the record of what it wrote, and the removal
        // of exactly that by the uninstaller.
        method("installFolderRefusal", {T}, [](A a) { return installFolderRefusal(a.text(0)); }),
        method("recordInstalled", {T, T},
               [](A a) { return recordInstalled(a.text(0), a.text(1)); }),
        method("scheduleInstallRemoval", {T},
               [](A a) { return scheduleInstallRemoval(a.text(0)); }),
        // Deleting or moving what the user ticked in a result list, re-checked file by file.
        method("startDeleteFiles", {T, T, Fn},
               [](A a) { return scan::startDeleteFiles(a.text(0), a.text(1), a.callback(2)); }),
        method("stopDeleteFiles", {I}, [](A a) { return scan::stopDeleteFiles(a.integer(0)); }),
        // Stop for the junk and chat cleans, which the rows above start without an id.
        method("stopCleanPrivacyItems", {}, [](A) { return stopCleanPrivacyItems(); }),
        method("stopCleanWechat", {}, [](A) { return stopCleanWechat(); }),
        method("stopCleanQq", {}, [](A) { return stopCleanQq(); }),
    };
}

}  // namespace

const ScriptClass& nativeUtilClass() {
    static const ScriptClass table("NativeUtil", (wireServices(), members()));
    return table;
}

NativeUtil& NativeUtil::instance() {
    static NativeUtil* object = new NativeUtil();  // pages may call it until the process ends
    return *object;
}

// The HTTP client belongs to the thread that first asks for it: make that the UI thread.
NativeUtil::NativeUtil() : m_binding(nativeUtilClass().bind(this)) { net::HttpClient::instance(); }

}  // namespace pellanor::bridge
