// POSIX stand-in: the program is started directly with the words its Windows counterpart would
// find in its parameter text.
#include "platform/shell_execute.h"

#include "platform/command_line.h"
#include "platform/launch.h"

namespace pellanor::platform {

bool shellExecute(const std::string& program, const std::string& parameters) {
    LaunchRequest request;
    request.program = program;
    if (!parameters.empty()) {
        // The first word of a command line follows other rules than the rest; a stand-in
        // program word keeps the parameters under the rules for arguments.
        std::vector<std::string> words = splitCommandLine("program " + parameters);
        request.arguments.assign(words.begin() + 1, words.end());
    }
    return launchProcess(request).started;
}

}  // namespace pellanor::platform
