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

inline bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.volumeSerial == b.volumeSerial && a.fileIndex == b.fileIndex;
}
inline bool operator!=(const FileIdentity& a, const FileIdentity& b) { return !(a == b); }

// What a scan saw of one entry, read again before it is deleted.
struct FileFacts {
    FileIdentity identity;
    std::uint32_t linkCount = 0;
    std::int64_t size = 0;
    std::int64_t modifiedMsecs = 0;  // since 1970-01-01 UTC
    bool isFile = false;             // a regular file; false for folders, links and devices
};

// The facts of the entry `path` (a host path) itself: a link is not followed. nullopt when it
// cannot be opened or read. Blocks on the file system.
std::optional<FileFacts> fileFacts(const std::string& path);

}  // namespace pellanor::platform
