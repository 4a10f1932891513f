// Each page's address, made once from the archive root and the page's path.
#include "ui/page_urls.h"

namespace pellanor::ui {
namespace {

QString pageUrl(const char* pathTemplate) {
    return QString::fromLatin1(pathTemplate).arg(QLatin1String(kArchiveRootUrl));
}

}  // namespace

const QString kLoadingPageUrl = pageUrl("%1/main/loading.html");
const QString kMainPageUrl = pageUrl("%1/main/main.html");
const QString kTrayPageUrl = pageUrl("%1/main/tray.html");
const QString kFolderPickPageUrl = pageUrl("%1/app/pick.html");
const QString kUpdaterPageUrl = pageUrl("%1/upgrader/upgrader.html");
const QString kHistoryPageUrl = pageUrl("%1/history/history.html");
const QString kHotKeyPageUrl = pageUrl("%1/app/hotkey.html");
const QString kInstallerPageUrl = pageUrl("%1/installer/installer.html");
const QString kUninstallerPageUrl = pageUrl("%1/unstaller/unstaller.html");

}  // namespace pellanor::ui
