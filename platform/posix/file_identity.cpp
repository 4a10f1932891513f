// POSIX: a file is identified by its device and inode.
#include "platform/file_identity.h"

#include <sys/stat.h>

#include "platform/posix/stat_identity.h"

namespace pellanor::platform {

std::optional<FileIdentity> fileIdentity(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return posix::identityFromStat(info);
}

std::optional<FileFacts> fileFacts(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
    FileFacts facts;
    facts.identity = posix::identityFromStat(info);
    facts.linkCount = static_cast<std::uint32_t>(info.st_nlink);
    facts.size = static_cast<std::int64_t>(info.st_size);
    facts.modifiedMsecs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000 +
                          static_cast<std::int64_t>(info.st_mtim.tv_nsec) / 1000000;
    facts.isFile = S_ISREG(info.st_mode);
    return facts;
}

}  // namespace pellanor::platform
