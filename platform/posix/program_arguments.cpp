// POSIX: arguments arrive as the bytes the starting program passed, UTF-8 by convention.
#include "platform/program_arguments.h"

namespace pellanor::platform {

std::vector<std::string> programArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc && argv[i] != nullptr; ++i) arguments.emplace_back(argv[i]);
    return arguments;
}

}  // namespace pellanor::platform
