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

}  // namespace pellanor::platform
