// The shell calls of the page scripts: each maps its paths to the host's form, asks the platform
// layer and logs what it asked and what came back under "NativeUtil".
#include "util/shell_integration.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/environment.h"
#include "platform/executable.h"
#include "platform/launch.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "util/sys_util.h"

namespace pellanor::util {
namespace {

constexpr char kTag[] = "NativeUtil";

QString hostPath(const QString& path) {
    return QString::fromStdString(platform::localPath(path.toStdString()));
}

QString quotedIfBlank(const QString& piece) {
    return piece.contains(QLatin1Char(' ')) ? QLatin1Char('"') + piece + QLatin1Char('"') : piece;
}

}  // namespace

bool openFolder(const QString& path) {
    const QFileInfo info(hostPath(path));
    const QString target =
        QDir::toNativeSeparators(info.isDir() ? info.filePath() : info.absolutePath());
    const bool started = platform::openInFileManager(target.toStdString());
    logging::info(kTag, "open folder {} result: {}", target, started);
    return started;
}

bool openUrl(const QString& url) {
    if (url.isEmpty()) return false;
    const bool opened = platform::openWithShell(url.toStdString());
    logging::info(kTag, "open url {} result: {}", url, opened);
    return opened;
}

bool createDesktopShortcut(const QString& appName, const QString& exePath, const QString& cmdLine,
                           const QString& appIcon) {
    const auto throughCodePage = [](const QString& text) {
        return QString::fromStdString(platform::throughAnsiCodePage(text.toStdString()));
    };
    return CreateDesktopShortcut(throughCodePage(appName), throughCodePage(exePath),
                                 throughCodePage(cmdLine), throughCodePage(appIcon));
}

QStringList launchArguments(const QString& command) {
    return command.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

QString launchCommandLine(const QString& exePath, const QStringList& arguments) {
    QString commandLine = quotedIfBlank(exePath);
    for (const QString& piece : arguments) commandLine += QLatin1Char(' ') + quotedIfBlank(piece);
    return commandLine;
}

bool launch(const QString& exePath, const QString& workDir, const QString& command) {
    logging::info(kTag, "try to launch: {}, work dir: {}, command: {}", exePath, workDir, command);
    const QStringList arguments = launchArguments(command);
    const QString commandLine = launchCommandLine(exePath, arguments);
    logging::info(kTag, "command line: {}", commandLine);

    platform::LaunchRequest request;
    request.program = exePath.toStdString();
    request.commandLine = commandLine.toStdString();
    for (const QString& piece : arguments) request.arguments.push_back(piece.toStdString());
    request.workDir = workDir.toStdString();
    const platform::LaunchResult result = platform::launchProcess(request);
    if (!result.started) logging::info(kTag, "CreateProcess failed, error: {}", result.errorCode);
    logging::info(kTag, "launch result: {}", result.started);
    return result.started;
}

QString getDesktopPath() { return GetDesktopPath(); }

QString appDataPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString programsPath() {
    const std::string value = platform::expandEnvironmentStrings("%PROGRAMFILES%");
    return value == "%PROGRAMFILES%" ? QString() : QString::fromStdString(value);
}

QString getTempPath() { return QStandardPaths::writableLocation(QStandardPaths::TempLocation); }

QString processFolder() {
    const QString path = QString::fromStdString(platform::executablePath());
    const QString folder = folderOf(path);
    return folder.isEmpty() ? path : folder;
}

}  // namespace pellanor::util
