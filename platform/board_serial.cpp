// The management tool's answer for the board serial number, read alike on both backends.
#include "platform/physical_disks.h"

#include <algorithm>

namespace pellanor::platform {
namespace {

std::string_view trimmed(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return line.substr(first, line.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

std::string parseBoardSerial(std::string_view text) {
    bool headerSeen = false;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.empty()) continue;
        if (headerSeen) return std::string(line);
        headerSeen = line == "SerialNumber";
    }
    return {};
}

}  // namespace pellanor::platform
