// The command-line half of the system tools' paths, the same on both systems: only where a tool
// lies differs, and that is systemToolPath's business.
#include "platform/system_tools.h"

namespace pellanor::platform {

std::string systemToolCommandLine(const std::string& commandLine) {
    const std::size_t end = commandLine.find_first_of(" \t");
    const std::string name = commandLine.substr(0, end);
    if (name.empty() || name.find('"') != std::string::npos) return {};
    const std::string path = systemToolPath(name);
    if (path.empty()) return {};
    const std::string program =
        path.find_first_of(" \t") == std::string::npos ? path : '"' + path + '"';
    return end == std::string::npos ? program : program + commandLine.substr(end);
}

}  // namespace pellanor::platform
