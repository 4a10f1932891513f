// POSIX: stat answers for hidden and open files alike, so no fallback is needed.
#include "platform/file_size.h"

#include <sys/stat.h>

namespace pellanor::platform {

std::int64_t singleFileSize(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return 0;
    return static_cast<std::int64_t>(info.st_size);
}

}  // namespace pellanor::platform
