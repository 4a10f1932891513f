// Forced removal, the previous-Windows sequence and self-delete.
#include "clean/forced_removal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "clean/child_tool.h"
#include "clean/folder_guard.h"
#include "clean/host_path.h"
#include "clean/tree_removal.h"
#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/cleanup_handler.h"
#include "platform/forced_delete.h"
#include "platform/privileges.h"
#include "platform/processes.h"
#include "platform/self_delete.h"

namespace pellanor {
namespace {

constexpr char kTag[] = "NativeUtil";

const char* const kShellCommands[] = {
    "takeown /F \"%1\" /A /R /D Y",
    "icacls \"%1\" /grant Administrators:F /T",
    "rd /s /q \"%1\"",
};

const char* const kForcedDeletePrivileges[] = {
    "SeBackupPrivilege",   "SeRestorePrivilege",      "SeTakeOwnershipPrivilege",
    "SeSecurityPrivilege", "SeManageVolumePrivilege",
};

// takeown and icacls read their arguments by the C runtime's rules, where the backslash of
// "C:\folder\" would escape the closing quote and swallow the rest of the command. A drive
// root keeps its separator ("C:\"), though removeDir refuses drives before this.
QString withoutTrailingSeparators(QString path) {
    while (path.size() > 1 &&
           (path.endsWith(QLatin1Char('\\')) || path.endsWith(QLatin1Char('/'))) &&
           !path.endsWith(QLatin1String(":\\")) && !path.endsWith(QLatin1String(":/"))) {
        path.chop(1);
    }
    return path;
}

// Exists, or is a link (a dangling link still has to go).
bool present(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool nativeForceDelete(const QString& path, const QString& local) {
    if (!present(local)) return true;
    for (const char* privilege : kForcedDeletePrivileges) platform::enablePrivilege(privilege);
    // The cleaned host form: a trailing "\\." or separator would otherwise reach the walk.
    platform::forceDeleteTree(QDir::toNativeSeparators(local).toStdString());
    if (present(local)) shellForceDelete(path);
    if (!present(local)) return true;
    if (platform::deleteAtReboot(path.toStdString())) {
        logging::info(kTag, "scheduled Windows.Old for reboot delete");
    } else {
        logging::info(kTag, "delete at restart is not available for {}", path);
    }
    return false;
}

// Without trailing separators: "link/" would name the link's target, not the link. Resolved
// once here, so that what was checked is what the removal and the tools are given.
QString localFolder(const QString& path) { return absoluteHostFolder(path); }

bool removePreviousWindows(const QString& path) {
    const QString local = localFolder(path);
    logging::info(kTag, "try remove Windows.Old by Volume Cache COM");
    const bool purged = platform::purgePreviousInstallations();
    logging::info(kTag, "Volume Cache COM result: {}", purged);
    logging::info(kTag, "try remove Windows.Old by native force delete");
    const bool outcome = nativeForceDelete(path, local);
    logging::info(kTag, "native force delete result: {}", outcome);
    return !present(local);
}

// Through the host form, so that on POSIX the drive letter and backslashes mean what they
// mean on Windows (where the host form is the path itself).
QString normalisedAbsolute(const QString& path) {
    return QDir::cleanPath(QFileInfo(hostPath(path)).absoluteFilePath()).toLower();
}

}  // namespace

bool removeFile(const QString& path) {
    const QFileInfo info(hostPath(path));
    // QFile::remove would refuse a folder too, but a link to a folder is a file to it.
    const bool ok = !(info.isDir() && !info.isSymLink()) && QFile::remove(info.filePath());
    logging::info(kTag, "remove file {} result: {}", path, ok);
    return ok;
}

bool removeDir(const QString& path) {
    if (path.isEmpty()) return false;
    // "." or "C:" would be resolved against the current folder, which for the logon task is
    // the system folder; the tools grant themselves access, so nothing else stops them.
    const QString refusal = protectedFolderRefusal(path);
    if (!refusal.isEmpty()) {
        logging::info(kTag, "remove dir {} refused: {}", path, refusal);
        return false;
    }
    if (isPreviousWindowsFolder(path)) return removePreviousWindows(path);
    const bool removed = removeFolderTree(localFolder(path));
    logging::info(kTag, "remove dir {} result: {}", path, removed);
    if (removed) return true;
    const bool forced = shellForceDelete(path);
    logging::info(kTag, "force remove dir {} result: {}", path, forced);
    return forced;
}

bool isPreviousWindowsFolder(const QString& path) {
    const QString candidate = normalisedAbsolute(path);
    return candidate == normalisedAbsolute(QStringLiteral("c:\\windows.old")) ||
           candidate == normalisedAbsolute(QStringLiteral("c:/windows.old"));
}

bool shellForceDelete(const QString& path) {
    if (path.isEmpty()) return false;
    const QString refusal = protectedFolderRefusal(path);
    if (!refusal.isEmpty()) {
        logging::info(kTag, "force remove dir {} refused: {}", path, refusal);
        return false;
    }
    const QString local = localFolder(path);
    // Inside cmd's quotes %NAME% still expands and a quote ends the quoting: the tools would act
    // on another folder than the one checked.
    if (breaksCommandQuoting(local)) {
        logging::info(kTag, "force remove dir {} refused: quote, percent sign or control character",
                      path);
        return false;
    }
    if (!present(local)) return true;
    const QString nativePath = withoutTrailingSeparators(QDir::toNativeSeparators(local));
    int lastExitCode = -1;
    for (const char* command : kShellCommands) {
        // takeown and icacls print a line per entry of the tree: nobody reads it.
        const ToolRun run = runCommandLine(
            QStringLiteral("cmd.exe /c ") + QString::fromUtf8(command).arg(nativePath), -1,
            platform::ChildOutput::Discard);
        lastExitCode = run.finished ? run.exitCode : -1;
    }
    return lastExitCode == 0;
}

bool scheduleSelfDelete(const QString& folder, const QString& removalList) {
    if (folder.isEmpty()) return false;
    // The folder reaches the command interpreter on its command line, where a double quote
    // would end the quoting (and let the rest run as commands) and %NAME% would be expanded
    // into another folder to remove. Neither belongs in an installation folder.
    if (folder.contains(QLatin1Char('"')) || folder.contains(QLatin1Char('%'))) {
        logging::info(kTag, "schedule self delete refused for dir {}: quote or percent sign",
                      folder);
        return false;
    }
    // The script runs in a folder of its own choosing, where a relative folder would be looked
    // up; the rule refuses relative folders with the protected ones.
    const QString refusal = protectedFolderRefusal(folder);
    if (!refusal.isEmpty()) {
        logging::info(kTag, "schedule self delete refused for dir {}: {}", folder, refusal);
        return false;
    }
    const QString local = localFolder(folder);
    const std::uint32_t pid = platform::currentProcessId();
    const QString temp = QDir::tempPath();
    const QString script =
        QString::fromStdString(platform::writeSelfDeleteScript(temp.toStdString(), pid));
    if (script.isEmpty()) {
        logging::info(kTag, "schedule self delete could not write its script in {}", temp);
        return false;
    }
    const bool started =
        platform::startSelfDeleteScript(script.toStdString(), pid, local.toStdString(),
                                        temp.toStdString(), removalList.toStdString());
    logging::info(kTag, "schedule self delete for pid {} dir {} script {} result: {}", pid, folder,
                  script, started ? "ok" : "failed");
    return started;
}

}  // namespace pellanor
