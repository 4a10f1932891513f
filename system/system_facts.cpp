// Machine facts for the pages over the platform's drive, disk and system facilities. Byte
// counts stay 64-bit up to the point where a page receives them.
#include "system/system_facts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include <chrono>
#include <optional>

#include "log/logger.h"
#include "platform/drives.h"
#include "platform/physical_disks.h"
#include "platform/system_info.h"
#include "product/product.h"

namespace pellanor::system {
namespace {

constexpr char kTag[] = "NativeUtil";
// Returned for a volume the system cannot measure: a page dividing by it must not divide by 0.
constexpr std::uint64_t kUnknownVolumeBytes = 1;

QString envelopeText(const QJsonArray& list) {
    const QJsonObject envelope{{QLatin1String(kListKey), list}};
    return QString::fromUtf8(QJsonDocument(envelope).toJson(QJsonDocument::Indented));
}

QJsonObject diskRecord(const platform::PhysicalDisk& disk) {
    return QJsonObject{
        {QLatin1String(kDiskModelKey), QString::fromStdString(disk.model)},
        {QLatin1String(kDiskSerialNumberKey), QString::fromStdString(disk.serialNumber)},
        {QLatin1String(kDiskSizeKey), disk.sizeBytes},
        {QLatin1String(kDiskAppIdKey), product::kId}};
}

QJsonObject driveRecord(char letter) {
    const QString drive = QStringLiteral("%1:").arg(QLatin1Char(letter));
    const QString root = drive + QLatin1Char('\\');
    // A JSON number is a double: exact up to 2^53 bytes, far above any volume.
    return QJsonObject{
        {QLatin1String(kDriveKey), drive},
        {QLatin1String(kDriveFreeSpaceKey), static_cast<double>(driveFreeBytes(root))},
        {QLatin1String(kDriveTotalSpaceKey), static_cast<double>(driveTotalBytes(root))},
        {QLatin1String(kDriveIsRemovableKey), platform::isRemovableDrive(drive.toStdString())}};
}

std::optional<platform::VolumeSpace> volumeSpaceOrLog(const QString& path) {
    const auto space = platform::volumeSpace(path.toStdString());
    if (!space) logging::info(kTag, "ERROR: Call to GetDiskFreeSpaceEx() failed.");
    return space;
}

}  // namespace

QString getDiskList() {
    const auto disks = platform::physicalDisks(kDiskListTimeoutMs);
    if (!disks) {
        logging::info(kTag, "ERROR: \"{}\" did not run to its end.", platform::kDiskDriveCommand);
    }
    QJsonArray list;
    for (const platform::PhysicalDisk& disk :
         disks.value_or(std::vector<platform::PhysicalDisk>{})) {
        list.append(diskRecord(disk));
    }
    return envelopeText(list);
}

QString getLogicalDrives() {
    QJsonArray list;
    for (const char letter : platform::logicalDrives()) {
        // A and B are floppy letters, C the system drive the pages show on their own.
        if (letter < 'D') continue;
        const std::string root = std::string(1, letter) + ":\\";
        if (platform::driveType(root) != platform::DriveType::Fixed) continue;
        list.append(driveRecord(letter));
    }
    return envelopeText(list);
}

std::uint64_t driveFreeBytes(const QString& path) {
    const auto space = volumeSpaceOrLog(path);
    return space ? space->freeBytes : kUnknownVolumeBytes;
}

std::uint64_t driveTotalBytes(const QString& path) {
    const auto space = volumeSpaceOrLog(path);
    return space ? space->totalBytes : kUnknownVolumeBytes;
}

float scriptBytes(std::uint64_t bytes) { return static_cast<float>(bytes); }

// The drive the platform calls the system's, so that on POSIX the gauge measures the folder the
// drive map gives C:, as every other C: path the program touches does.
float getSystemDriveFreeBits() {
    return scriptBytes(driveFreeBytes(QString::fromStdString(platform::systemDriveRoot())));
}

float getSystemDriveTotalBits() {
    return scriptBytes(driveTotalBytes(QString::fromStdString(platform::systemDriveRoot())));
}

float getMemeryBits() {
    const std::uint64_t bytes = platform::totalPhysicalMemory();
    if (bytes == 0) logging::info(kTag, "ERROR: Call to GlobalMemoryStatusEx() failed.");
    return scriptBytes(bytes);
}

bool is64BitOS() {
    const std::uint16_t architecture = platform::nativeProcessorArchitecture();
    logging::info(kTag, "si.wProcessorArchitecture={}", architecture);
    return architecture == platform::kArchitectureAmd64;
}

bool isWindows7() { return platform::isWindowsVersion(6, 1); }

QString OS() { return QSysInfo::prettyProductName(); }

QString cpuArchitecture() { return QSysInfo::currentCpuArchitecture(); }

QString kernelType() { return QSysInfo::kernelType(); }

QString kernelVersion() { return QSysInfo::kernelVersion(); }

int getSecondsSinceEpoch() {
    using namespace std::chrono;
    return static_cast<int>(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
}

}  // namespace pellanor::system
