// The kind of a drive, named by its root ("D:\").
#pragma once

#include <string>

namespace pellanor::platform {

enum class DriveType { Unknown, NoRootDirectory, Removable, Fixed, Remote, CdRom, RamDisk };

// Windows asks the system for the type of `root`. POSIX maps the root through localPath: a
// folder that does not exist is NoRootDirectory, a network file system Remote, a block device
// that the kernel marks removable Removable, anything else Fixed. Blocks on the file system.
DriveType driveType(const std::string& root);

}  // namespace pellanor::platform
