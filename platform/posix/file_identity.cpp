// POSIX: a file is identified by its device and inode.
#include "platform/file_identity.h"

#include <sys/stat.h>

namespace pellanor::platform {

std::optional<FileIdentity> fileIdentity(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    // The key keeps Windows' 32-bit serial; folding both halves keeps devices with equal low
    // words apart.
    const auto device = static_cast<std::uint64_t>(info.st_dev);
    return FileIdentity{static_cast<std::uint32_t>(device ^ (device >> 32)),
                        static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace pellanor::platform
