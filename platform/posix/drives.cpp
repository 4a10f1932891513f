// POSIX: a drive root is a mapped folder; its kind comes from the file system and /sys.
#include "platform/drives.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>

#include <fstream>
#include <string>

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

// A partition has no "removable" file of its own; its whole disk one level up has.
bool blockDeviceIsRemovable(dev_t device) {
    const std::string base =
        "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    for (const char* relative : {"/removable", "/../removable"}) {
        std::ifstream flag(base + relative);
        char value = '0';
        if (flag >> value) return value == '1';
    }
    return false;
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

}  // namespace pellanor::platform
