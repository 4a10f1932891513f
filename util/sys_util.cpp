// Desktop shortcuts and the desktop folder over the platform layer's shell links and known
// folders, each step logged under "SysUtil".
#include "util/sys_util.h"

#include <algorithm>

#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/shortcuts.h"
#include "platform/shell_folders.h"

namespace pellanor::util {
namespace {

constexpr char kTag[] = "SysUtil";

// The name becomes a file name on the desktop; a separator or a drive colon would let it
// name (and overwrite) a file elsewhere.
bool isPlainFileName(const QString& name) {
    return !name.contains(QLatin1Char('\\')) && !name.contains(QLatin1Char('/')) &&
           !name.contains(QLatin1Char(':')) && name != QLatin1String("..");
}

}  // namespace

QString folderOf(const QString& path) {
    const int separator =
        std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return separator < 0 ? QString() : path.left(separator);
}

bool CreateDesktopShortcut(const QString& appName, const QString& exePath, const QString& cmdLine,
                           const QString& appIcon) {
    logging::info(kTag, "CreateDesktopShortcut. appName={} exePath={} cmdLine={} appIcon={}",
                  appName, exePath, cmdLine, appIcon);
    const platform::FolderLookup desktop = platform::desktopFolder();
    logging::info(kTag, "SHGetFolderPathW result={:x}", desktop.resultCode);
    if (platform::isFailureCode(desktop.resultCode)) return false;
    if (!isPlainFileName(appName)) {
        logging::info(kTag, "appName {} is not a plain file name", appName);
        return false;
    }
    const QString lnkPath =
        QString::fromStdString(desktop.path) + QLatin1Char('\\') + appName + QStringLiteral(".lnk");
    logging::info(kTag, "lnkPath={}", lnkPath);
    return CreateLinkFile(exePath, cmdLine, lnkPath, appIcon);
}

bool CreateLinkFile(const QString& szStartAppPath, const QString& szAddCmdLine,
                    const QString& szDestLnkPath, const QString& szIconPath) {
    logging::info(kTag,
                  "CreateLinkFile. szStartAppPath={} szAddCmdLine={} szDestLnkPath={} "
                  "szIconPath={}",
                  szStartAppPath, szAddCmdLine, szDestLnkPath, szIconPath);
    platform::ShellLink link;
    link.target = szStartAppPath.toStdString();
    link.arguments = szAddCmdLine.toStdString();
    link.workDir = folderOf(szStartAppPath).toStdString();
    logging::info(kTag, "work dir={}", link.workDir);
    link.iconPath = (szIconPath.isEmpty() ? szStartAppPath : szIconPath).toStdString();
    link.iconIndex = 0;
    return platform::saveShellLink(szDestLnkPath.toStdString(), link);
}

QString GetDesktopPath() {
    const platform::ItemListLookup lookup = platform::desktopFolderByItemList();
    logging::info(kTag, "SHGetSpecialFolderLocation result={:x}", lookup.itemListResult);
    logging::info(kTag, "SHGetPathFromIDList result={}", lookup.pathConverted ? 1 : 0);
    const QString path = QString::fromStdString(lookup.path);
    logging::info(kTag, "GetDesktopPath={}", path);
    return path;
}

}  // namespace pellanor::util
