// Page-file size and migration. Success is judged by the tools' output only: wmic reports most
// failures on standard output with an exit code of 0.
#include "clean/pagefile.h"

#include <QRegularExpression>
#include <QStringList>

#include "clean/child_tool.h"
#include "clean/environment_path.h"
#include "clean/host_path.h"
#include "platform/drives.h"
#include "platform/file_size.h"

namespace pellanor {
namespace {

constexpr int kToolTimeoutMs = 5000;
constexpr qint64 kMebibyte = 1048576;
constexpr int kDefaultPagefileMb = 8192;
constexpr char kPagefilePath[] = "C:\\pagefile.sys";
constexpr char kQueryCommand[] = "wmic pagefile get Name,AllocatedBaseSize";
constexpr char kAutomaticOffCommand[] =
    "wmic computersystem where name=\"%COMPUTERNAME%\" set AutomaticManagedPagefile=False";
constexpr char kDeleteCommand[] = "wmic pagefileset where name=\"C:\\\\pagefile.sys\" delete";
constexpr char kCreateCommand[] =
    "wmic pagefileset create Name=\"%1\\pagefile.sys\", InitialSize=%2, MaximumSize=%3";

bool reportsError(const QByteArray& output) {
    return QString::fromLocal8Bit(output).contains(QLatin1String("ERROR"), Qt::CaseInsensitive);
}

// Letter and colon in upper case, or a null string when the drive is refused.
QString normalisedTargetDrive(const QString& drive) {
    QString normalised = drive.trimmed().toUpper();
    if (!normalised.endsWith(QLatin1Char(':'))) normalised += QLatin1Char(':');
    if (normalised.size() != 2) return {};
    const QChar letter = normalised.at(0);
    if (letter < QLatin1Char('A') || letter > QLatin1Char('Z')) return {};
    if (normalised == QLatin1String("C:")) return {};
    return normalised;
}

QString automaticOffCommand() {
    QString command = QString::fromUtf8(kAutomaticOffCommand);
    // Only this one reference: the rest of the text is wmic's own.
    return command.replace(QLatin1String("%COMPUTERNAME%"),
                           expandEnvironmentPath(QStringLiteral("%COMPUTERNAME%")));
}

}  // namespace

std::optional<QByteArray> runToolCommandLine(const QString& commandLine, int timeoutMs) {
    const ToolRun run = runCommandLine(commandLine, timeoutMs);
    if (!run.finished) return std::nullopt;
    return run.output;
}

int parsePagefileSizeMb(const QByteArray& output) {
    static const QRegularExpression columnGap(QStringLiteral("\\s{2,}"));
    int nameColumn = -1;
    int sizeColumn = -1;
    const QStringList lines = QString::fromLocal8Bit(output).split(QLatin1Char('\n'));
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty()) continue;
        QStringList parts = line.split(columnGap);
        for (QString& part : parts) part = part.trimmed();
        if (nameColumn < 0 || sizeColumn < 0) {
            if (parts.contains(QLatin1String("Name"))) nameColumn = parts.indexOf("Name");
            if (parts.contains(QLatin1String("AllocatedBaseSize"))) {
                sizeColumn = parts.indexOf("AllocatedBaseSize");
            }
        }
        if (nameColumn < 0 || sizeColumn < 0) continue;
        if (nameColumn >= parts.size() || sizeColumn >= parts.size()) continue;
        const QString& name = parts.at(nameColumn);
        if (name.startsWith(QLatin1String("C:"), Qt::CaseInsensitive) &&
            name.endsWith(QLatin1String("pagefile.sys"), Qt::CaseInsensitive)) {
            return parts.at(sizeColumn).toInt();
        }
    }
    return 0;
}

int pagefileSizeMb(const CommandRunner& run) {
    const qint64 bytes =
        platform::singleFileSize(hostPath(QString::fromUtf8(kPagefilePath)).toStdString());
    if (bytes != 0) return static_cast<int>(bytes / kMebibyte);
    const auto output = run(QString::fromUtf8(kQueryCommand), kToolTimeoutMs);
    return output ? parsePagefileSizeMb(*output) : 0;
}

QString getPagefileSize(const CommandRunner& run) {
    return QString::number(static_cast<qint64>(pagefileSizeMb(run)) * kMebibyte);
}

bool migratePagefile(const QString& drive, const CommandRunner& run) {
    const QString target = normalisedTargetDrive(drive);
    if (target.isNull()) return false;
    if (platform::driveType((target + QLatin1Char('\\')).toStdString()) !=
        platform::DriveType::Fixed) {
        return false;
    }
    int sizeMb = pagefileSizeMb(run);
    if (sizeMb <= 0) sizeMb = kDefaultPagefileMb;

    const auto automaticOff = run(automaticOffCommand(), kToolTimeoutMs);
    if (!automaticOff || reportsError(*automaticOff)) return false;
    run(QString::fromUtf8(kDeleteCommand), kToolTimeoutMs);
    const auto created =
        run(QString::fromUtf8(kCreateCommand).arg(target).arg(sizeMb).arg(sizeMb), kToolTimeoutMs);
    return created && !reportsError(*created);
}

}  // namespace pellanor
