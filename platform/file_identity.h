// Identity of a file on its volume, so that one file reached through several folders or hard
// links can be recognised, and the facts that tell what deleting one of its paths gives back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace pellanor::platform {

// Windows: the volume serial number and the 64-bit file index. POSIX: the device number folded
// to 32 bits and the inode number.
struct FileIdentity {
    std::uint32_t volumeSerial = 0;
    std::uint64_t fileIndex = 0;
};

inline bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.volumeSerial == b.volumeSerial && a.fileIndex == b.fileIndex;
}
inline bool operator!=(const FileIdentity& a, const FileIdentity& b) { return !(a == b); }

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& identity) const {
        // File indexes of one volume differ in their low bits; the serial spreads volumes.
        const std::uint64_t mixed =
            identity.fileIndex ^
            (static_cast<std::uint64_t>(identity.volumeSerial) * 0x9E3779B97F4A7C15ULL);
        return std::hash<std::uint64_t>{}(mixed);
    }
};

struct FileFacts {
    FileIdentity identity;
    std::uint32_t linkCount = 1;  // hard links to the file
    std::int64_t size = 0;
    std::int64_t modifiedMsecs = 0;  // last write, ms since 1970 UTC
    bool isFile = false;             // a regular file (not folder, link, device)
};

// The identity of the file at `path` (a host path), a final symbolic link or junction followed.
// Opens the file with no access rights, so a file held open by another program still answers.
// nullopt when the file cannot be opened or its information cannot be read. Blocks on the file
// system.
std::optional<FileIdentity> fileIdentity(const std::string& path);

// Facts of the entry at `path` itself: a final symbolic link or reparse point is NOT followed
// (it reports isFile=false and its own identity); links in the folders above it are. Opens with
// no access rights, as fileIdentity(). nullopt when missing or unreadable. Blocks on the file
// system.
std::optional<FileFacts> fileFacts(const std::string& path);

}  // namespace pellanor::platform

template <>
struct std::hash<pellanor::platform::FileIdentity> : pellanor::platform::FileIdentityHash {};
