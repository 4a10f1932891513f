// POSIX: a file is identified by its device and inode; stat gives the rest of its facts.
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
    if (path.empty() || ::lstat(path.c_str(), &info) != 0) return std::nullopt;
    return posix::factsFromStat(info);
}

}  // namespace pellanor::platform
