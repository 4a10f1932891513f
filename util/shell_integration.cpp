#include "util/shell_integration.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QThread>

#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/clipboard.h"
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

bool hasApplicationClipboard() {
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    return application != nullptr && QThread::currentThread() == application->thread();
}

// Qt's clipboard belongs to the GUI thread of a running GUI application; it is the one the
// desktop session sees while the program's windows run.
bool onApplicationClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return false;
    clipboard->setText(text);
    return clipboard->text() == text;
}

// The toolkit's dialog needs a widget application on its thread; headless there is none.
QString folderFromToolkitDialog() {
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (application == nullptr || QThread::currentThread() != application->thread()) return {};
    return QFileDialog::getExistingDirectory();
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

bool copyToClipboard(const QString& text) {
    if (text.isEmpty()) return false;
    const bool placed = hasApplicationClipboard() ? onApplicationClipboard(text)
                                                  : platform::setClipboardText(text.toStdString());
    if (placed) logging::info(kTag, "copy to clipboard, length: {}", text.size());
    return placed;
}

QString selectFolder(const QString& title, const QString& path) {
    logging::info(kTag, "select folder. title={} path={}", title, path);
    const platform::FolderPick pick = platform::pickFolder();
    switch (pick.outcome) {
        case platform::FolderPickOutcome::Chosen:
            return QString::fromStdString(pick.path);
        case platform::FolderPickOutcome::Cancelled:
        case platform::FolderPickOutcome::Failed:
            return {};
        case platform::FolderPickOutcome::Unavailable:
            break;
    }
    // Only where the system has no dialog at all; a system dialog that failed is not replaced
    // by a second one.
    return folderFromToolkitDialog();
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
