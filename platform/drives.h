// Drives named by their letter or root ("D:\"): which exist, their kind, the space of their
// volume, and whether their disk can be unplugged.
#pragma once

#include <cctype>
#include <cstdint>
#include <optional>
#include <string>

namespace pellanor::platform {

// The upper-case letter that "e", "E:", "E:\" or "E:/" names; nullopt for any other text.
inline std::optional<char> driveLetterOf(const std::string& drive) {
    if (drive.empty() || drive.size() > 3) return std::nullopt;
    if (drive.size() >= 2 && drive[1] != ':') return std::nullopt;
    if (drive.size() == 3 && drive[2] != '\\' && drive[2] != '/') return std::nullopt;
    const auto first = static_cast<unsigned char>(drive[0]);
    if (first > 0x7F || !std::isalpha(first)) return std::nullopt;
    return static_cast<char>(std::toupper(first));
}

enum class DriveType { Unknown, NoRootDirectory, Removable, Fixed, Remote, CdRom, RamDisk };

// Windows asks the system for the type of `root`. POSIX maps the root through localPath: a
// folder that does not exist is NoRootDirectory, a network file system Remote, a block device
// that the kernel marks removable Removable, anything else Fixed. Blocks on the file system.
DriveType driveType(const std::string& root);

// The root of the system drive, "X:\\" in upper case. Windows: the drive of the Windows folder,
// "C:\\" when the system will not name one. POSIX: always "C:\\", which volumeSpace and the other
// calls map through PELLANOR_DRIVES like every other C: path ("/" without an entry).
std::string systemDriveRoot();

// The upper-case letters of the drives that exist, in letter order ("CDE"). Windows: the
// system's logical-drive mask. POSIX: C, and every letter PELLANOR_DRIVES names, when the
// mapped root is a folder. Blocks on the file system.
std::string logicalDrives();

struct VolumeSpace {
    std::uint64_t freeBytes = 0;   // every free byte, whatever quotas or reserves keep from us
    std::uint64_t totalBytes = 0;  // the size of the volume
};

// The space of the volume holding `path` (a Windows-shaped path, mapped by localPath on POSIX).
// nullopt when the system cannot say; `errorCode`, when given, then receives the system's
// error number. Windows: GetDiskFreeSpaceEx. POSIX: statvfs. Blocks on the file system.
std::optional<VolumeSpace> volumeSpace(const std::string& path, std::uint32_t* errorCode = nullptr);

// Whether the drive ("E:", "e" or "E:\") lies on a disk attached by USB or one with removable
// media, so that an external hard disk which reports itself fixed still counts. False for
// anything that is not a drive letter and whenever the device cannot be queried. Windows: the
// volume's disk extents and each disk's storage descriptor. POSIX: the drive's block device in
// /sys, its whole disk's removable flag or a USB device among its parents. Blocks on device I/O.
bool isRemovableDrive(const std::string& drive);

// The serial number of the physical disk that holds the drive's volume (its first extent),
// trimmed of surrounding blanks; empty when the drive is not a letter, the disk cannot be
// opened or it reports none. Windows: the volume's disk extents, then the storage device
// descriptor of that disk, read as Latin-1. POSIX: the block device of the drive's mapped root
// in /sys (a partition's whole disk), its serial as the kernel or udev's data knows it.
// Blocks on device I/O.
std::string driveDiskSerial(const std::string& drive);

}  // namespace pellanor::platform
