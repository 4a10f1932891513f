// The quoting a Windows program's own command-line splitting undoes. Shared by both backends:
// the POSIX stand-in writes its process command line with it, and tool command lines are built
// with it on Windows.
#include "platform/command_line.h"

namespace pellanor::platform {
namespace {

bool needsQuotes(const std::string& word) {
    return word.empty() || word.find_first_of(" \t\n\v\"") != std::string::npos;
}

// Backslashes count only before a quote, including the closing one added here: 2n there stand
// for n, and a literal quote takes one more.
std::string quotedWord(const std::string& word) {
    std::string quoted = "\"";
    std::size_t slashes = 0;
    for (const char c : word) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        quoted.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        quoted += c;
    }
    quoted.append(slashes * 2, '\\');
    return quoted + '"';
}

}  // namespace

std::string joinCommandLine(const std::vector<std::string>& words) {
    std::string line;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (i == 0) {
            const bool blank = word.empty() || word.find_first_of(" \t") != std::string::npos;
            line += blank ? '"' + word + '"' : word;
            continue;
        }
        line += ' ';
        line += needsQuotes(word) ? quotedWord(word) : word;
    }
    return line;
}

}  // namespace pellanor::platform
