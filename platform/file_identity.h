// Identity of a file on its volume, so that one file reached through several folders or hard
// links can be recognised.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pellanor::platform {

// Windows: the volume serial number and the 64-bit file index. POSIX: the device number folded
// to 32 bits and the inode number.
struct FileIdentity {
    std::uint32_t volumeSerial = 0;
    std::uint64_t fileIndex = 0;
};

// The identity of the file at `path` (a host path). Opens the file with no access rights, so a
// file held open by another program still answers. nullopt when the file cannot be opened or
// its information cannot be read. Blocks on the file system.
std::optional<FileIdentity> fileIdentity(const std::string& path);

}  // namespace pellanor::platform
