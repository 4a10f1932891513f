// The identity and facts of a POSIX file from its stat record, shared by the identity queries
// and the walk so that both give the same key for the same file.
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

inline std::int64_t millisecondsFromStat(const struct stat& info) {
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
}

inline FileFacts factsFromStat(const struct stat& info) {
    FileFacts facts;
    facts.identity = identityFromStat(info);
    facts.linkCount = static_cast<std::uint32_t>(info.st_nlink);
    facts.isFile = S_ISREG(info.st_mode);
    facts.size = facts.isFile ? static_cast<std::int64_t>(info.st_size) : 0;
    facts.modifiedMsecs = millisecondsFromStat(info);
    return facts;
}

}  // namespace pellanor::platform::posix
