// POSIX: the executable is what /proc/self/exe points at.
#include "platform/executable.h"

#include <unistd.h>

#include <climits>
#include <vector>

namespace pellanor::platform {

std::string executablePath() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        buffer.resize(buffer.size() * 2);  // readlink truncates silently; retry until it fits
    }
}

std::string executableBaseName() {
    const std::string path = executablePath();
    return path.substr(path.find_last_of('/') + 1);
}

}  // namespace pellanor::platform
