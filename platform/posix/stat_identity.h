// The identity of a POSIX file from its stat record, shared by the identity query and the walk
// so that both give the same key for the same file.
#pragma once

#include <sys/stat.h>

#include <cstdint>

#include "platform/file_identity.h"

namespace pellanor::platform::posix {

inline FileIdentity identityFromStat(const struct stat& info) {
    // The key keeps Windows' 32-bit serial; folding both halves keeps devices with equal low
    // words apart.
    const auto device = static_cast<std::uint64_t>(info.st_dev);
    return FileIdentity{static_cast<std::uint32_t>(device ^ (device >> 32)),
                        static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace pellanor::platform::posix
