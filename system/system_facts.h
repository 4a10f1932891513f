// What the pages show of the machine: physical disks, data drives and their space, the system
// drive, memory, the operating system and processor, and the clock. Every function runs on the
// calling thread and never throws; each failure gives the value its comment names and a log
// line under "NativeUtil".
#pragma once

#include <QString>

#include <cstdint>

namespace pellanor::system {

// Keys of the disk and drive records and of the envelope both lists come in.
inline constexpr char kDiskModelKey[] = "diskModel";
inline constexpr char kDiskSerialNumberKey[] = "diskSerialNumber";
inline constexpr char kDiskSizeKey[] = "diskSize";
inline constexpr char kDiskAppIdKey[] = "appId";
inline constexpr char kDriveKey[] = "drive";
inline constexpr char kDriveFreeSpaceKey[] = "freeSpace";
inline constexpr char kDriveTotalSpaceKey[] = "totalSpace";
inline constexpr char kDriveIsRemovableKey[] = "isRemovable";
inline constexpr char kListKey[] = "list";

// How long getDiskList waits for the system's disk query before it gives up on it.
inline constexpr int kDiskListTimeoutMs = 20000;

// {"list": [{"appId", "diskModel", "diskSerialNumber", "diskSize"}...]} in the JSON writer's
// indented layout, one record per physical disk. An empty list when the query cannot run, does
// not end within kDiskListTimeoutMs, or prints no table. Blocks on a child process.
QString getDiskList();

// {"list": [{"drive", "freeSpace", "totalSpace", "isRemovable"}...]}, indented: the fixed
// drives from D: to Z: in letter order, with the two sizes of driveFreeBytes and
// driveTotalBytes. Optical, network, RAM and removable-media drives are left out, and so is the
// system drive C:. Blocks on the file system and device queries.
QString getLogicalDrives();

// Free bytes (whatever quotas withhold) and total bytes of the volume holding `path`. 1, not 0,
// when the system cannot say, so that a page dividing by it sees a tiny drive. Blocks.
std::uint64_t driveFreeBytes(const QString& path);
std::uint64_t driveTotalBytes(const QString& path);

// The pages receive byte counts as single-precision numbers: exact up to 2^24 and for powers of
// two, rounded to 24 significant bits otherwise.
float scriptBytes(std::uint64_t bytes);

// driveFreeBytes / driveTotalBytes of the system drive (platform::systemDriveRoot: on POSIX the
// folder the drive map gives C:, "/" without one), as single-precision numbers. Block on the file
// system.
float getSystemDriveFreeBits();
float getSystemDriveTotalBits();

// Total physical memory as a single-precision number; 0 when the system cannot say.
float getMemeryBits();

// True when the system (not this 32-bit program) runs on an x64 processor; ARM64 and the rest
// are false. Logs the system's architecture number.
bool is64BitOS();

// True on Windows 6.1 (Windows 7 and Server 2008 R2) with any service pack; always false off
// Windows.
bool isWindows7();

// Qt's names for the operating system, the processor architecture this program runs on, the
// kernel type and the kernel version, unchanged.
QString OS();
QString cpuArchitecture();
QString kernelType();
QString kernelVersion();

// Whole seconds since 1970-01-01 00:00 UTC, as the 32-bit integer pages receive.
int getSecondsSinceEpoch();

}  // namespace pellanor::system
