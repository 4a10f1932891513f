// POSIX: the executable is what /proc/self/exe points at; the command line is rebuilt from the
// arguments the kernel keeps in /proc/self/cmdline.
#include "platform/executable.h"

#include <unistd.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/command_line.h"

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

// Each argument ends with a zero byte. A program that rewrote its arguments may leave no final
// zero, so the last piece counts whether or not one follows.
std::string processCommandLine() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    if (!file) return {};
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\0', start);
        if (end == std::string::npos) end = bytes.size();
        words.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return joinCommandLine(words);
}

}  // namespace pellanor::platform
