// Win32: the system's drive type of a root.
#include "platform/drives.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace pellanor::platform {

DriveType driveType(const std::string& root) {
    switch (GetDriveTypeW(win32::toWide(root).c_str())) {
        case DRIVE_NO_ROOT_DIR:
            return DriveType::NoRootDirectory;
        case DRIVE_REMOVABLE:
            return DriveType::Removable;
        case DRIVE_FIXED:
            return DriveType::Fixed;
        case DRIVE_REMOTE:
            return DriveType::Remote;
        case DRIVE_CDROM:
            return DriveType::CdRom;
        case DRIVE_RAMDISK:
            return DriveType::RamDisk;
        default:
            return DriveType::Unknown;
    }
}

}  // namespace pellanor::platform
