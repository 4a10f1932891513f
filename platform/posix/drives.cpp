// POSIX: a drive root is a mapped folder; its kind and its disk's serial number come from the
// file system, /sys and udev's data, its space from statvfs.
#include "platform/drives.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/paths.h"

namespace pellanor::platform {
namespace {

// Magic numbers of statfs for the network file systems (linux/magic.h).
constexpr long kNfsMagic = 0x6969;
constexpr long kSmbMagic = 0x517B;
constexpr long kCifsMagic = 0xFF534D42;
constexpr long kSmb2Magic = 0xFE534D42;
constexpr long kTmpfsMagic = 0x01021994;

bool isNetworkFileSystem(long type) {
    return type == kNfsMagic || type == kSmbMagic || type == kCifsMagic || type == kSmb2Magic;
}

std::string sysfsBlockPath(dev_t device) {
    return "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

// A partition has no "removable" file of its own; its whole disk one level up has.
bool blockDeviceIsRemovable(dev_t device) {
    const std::string base = sysfsBlockPath(device);
    for (const char* relative : {"/removable", "/../removable"}) {
        std::ifstream flag(base + relative);
        char value = '0';
        if (flag >> value) return value == '1';
    }
    return false;
}

// The device's place in /sys runs through its bus: a disk behind a USB host controller has a
// "usbN" controller folder among its parents, whatever the disk says of itself.
bool blockDeviceIsOnUsb(dev_t device) {
    char resolved[PATH_MAX];
    if (::realpath(sysfsBlockPath(device).c_str(), resolved) == nullptr) return false;
    std::string_view rest(resolved);
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('/'), rest.size());
        const std::string_view part = rest.substr(0, end);
        if (part.size() > 3 && part.substr(0, 3) == "usb" &&
            std::isdigit(static_cast<unsigned char>(part[3])))
            return true;
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return false;
}

std::string trimmedFirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

// udev keeps what it learnt of a device (ID_SERIAL_SHORT is the disk's own serial number,
// ID_SERIAL adds the model) in "E:KEY=value" lines; the kernel's sysfs lacks it for SATA disks.
std::string udevSerial(const std::string& deviceNumbers) {
    std::ifstream data("/run/udev/data/b" + deviceNumbers);
    std::string line, shortSerial, serial;
    while (std::getline(data, line)) {
        if (line.rfind("E:ID_SERIAL_SHORT=", 0) == 0) shortSerial = line.substr(18);
        if (line.rfind("E:ID_SERIAL=", 0) == 0) serial = line.substr(12);
    }
    return shortSerial.empty() ? serial : shortSerial;
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The letters PELLANOR_DRIVES has an entry for; localPath holds the rest of its rules.
std::string configuredLetters() {
    std::string letters;
    const char* map = std::getenv("PELLANOR_DRIVES");
    std::string_view rest(map == nullptr ? "" : map);
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find(';'), rest.size());
        const std::string_view entry = rest.substr(0, end);
        if (entry.size() > 2 && entry[1] == '=') {
            if (const auto letter = driveLetterOf(std::string(1, entry[0]))) letters += *letter;
        }
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return letters;
}

}  // namespace

DriveType driveType(const std::string& root) {
    const std::string local = localPath(root);
    struct stat info {};
    if (::stat(local.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return DriveType::NoRootDirectory;
    }
    struct statfs fs {};
    if (::statfs(local.c_str(), &fs) != 0) return DriveType::Unknown;
    const long type = static_cast<long>(fs.f_type);
    if (isNetworkFileSystem(type)) return DriveType::Remote;
    if (type == kTmpfsMagic) return DriveType::RamDisk;
    if (blockDeviceIsRemovable(info.st_dev)) return DriveType::Removable;
    return DriveType::Fixed;
}

std::string systemDriveRoot() { return "C:\\"; }

std::string logicalDrives() {
    const std::string candidates = "C" + configuredLetters();
    std::string letters;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (candidates.find(letter) == std::string::npos) continue;
        if (isFolder(localPath(std::string(1, letter) + ":\\"))) letters += letter;
    }
    return letters;
}

std::optional<VolumeSpace> volumeSpace(const std::string& path, std::uint32_t* errorCode) {
    struct statvfs fs {};
    if (::statvfs(localPath(path).c_str(), &fs) != 0) {
        if (errorCode != nullptr) *errorCode = static_cast<std::uint32_t>(errno);
        return std::nullopt;
    }
    // f_bfree rather than f_bavail: the blocks reserved for root are free space too, as
    // Windows counts space a quota withholds.
    return VolumeSpace{static_cast<std::uint64_t>(fs.f_bfree) * fs.f_frsize,
                       static_cast<std::uint64_t>(fs.f_blocks) * fs.f_frsize};
}

bool isRemovableDrive(const std::string& drive) {
    const auto letter = driveLetterOf(drive);
    if (!letter) return false;
    struct stat info {};
    if (::stat(localPath(std::string(1, *letter) + ":\\").c_str(), &info) != 0) return false;
    // Major 0 is the kernel's anonymous devices (tmpfs, overlay): no disk behind them.
    if (major(info.st_dev) == 0) return false;
    return blockDeviceIsRemovable(info.st_dev) || blockDeviceIsOnUsb(info.st_dev);
}

std::string driveDiskSerial(const std::string& drive) {
    const auto letter = driveLetterOf(drive);
    if (!letter) return {};
    struct stat info {};
    if (::stat(localPath(std::string(1, *letter) + ":\\").c_str(), &info) != 0) return {};
    if (major(info.st_dev) == 0) return {};
    // A partition's folder lies inside its whole disk's, which carries the serial number.
    std::string disk = sysfsBlockPath(info.st_dev);
    struct stat partition {};
    if (::stat((disk + "/partition").c_str(), &partition) == 0) disk += "/..";
    for (const char* relative : {"/device/serial", "/serial"}) {
        std::string serial = trimmedFirstLine(disk + relative);
        if (!serial.empty()) return serial;
    }
    const std::string numbers = trimmedFirstLine(disk + "/dev");
    if (numbers.empty()) return {};
    const std::string serial = udevSerial(numbers);
    const std::size_t first = serial.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return serial.substr(first, serial.find_last_not_of(" \t") - first + 1);
}

}  // namespace pellanor::platform
