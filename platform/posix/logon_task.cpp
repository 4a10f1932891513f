// POSIX stand-in: the logon task is an XDG autostart entry, which desktop sessions start at
// login. Hidden=true is how a user (or a settings tool) switches such an entry off without
// deleting it, so such an entry counts as no task.
#include "platform/logon_task.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "platform/executable.h"
#include "platform/posix/desktop_entry.h"

namespace pellanor::platform {
namespace {

bool plainName(const std::string& name) {
    return !name.empty() && name.find_first_of("\\/\"") == std::string::npos;
}

std::string autostartFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is to be ignored, as the XDG base-directory rules say.
    if (config != nullptr && config[0] == '/') return std::string(config) + "/autostart";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return {};
    return std::string(home) + "/.config/autostart";
}

std::string entryPath(const std::string& name) {
    const std::string folder = autostartFolder();
    return folder.empty() || !plainName(name) ? std::string() : folder + '/' + name + ".desktop";
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Only the main group counts: an action group may carry keys of the same name.
bool markedHidden(std::ifstream& entry) {
    bool inMainGroup = false;
    std::string line;
    while (std::getline(entry, line)) {
        line = trimmed(line);
        if (!line.empty() && line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inMainGroup || equals == std::string::npos) continue;
        if (trimmed(line.substr(0, equals)) == "Hidden") {
            return trimmed(line.substr(equals + 1)) == "true";
        }
    }
    return false;
}

// Creates the missing folders of `folder`, private to the user as the configuration folder is.
bool makeFolders(const std::string& folder) {
    for (std::size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const std::string part = folder.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (at == std::string::npos) break;
    }
    struct stat info {};
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string entryText(const std::string& name, const std::string& program) {
    return "[Desktop Entry]\nType=Application\nName=" + posix::escapeValue(name) +
           "\nExec=" + posix::escapeValue(posix::quoteExecArgument(program)) +
           "\nX-GNOME-Autostart-enabled=true\n";
}

}  // namespace

bool logonTaskExists(const std::string& name) {
    const std::string path = entryPath(name);
    if (path.empty()) return false;
    std::ifstream entry(path);
    return entry.is_open() && !markedHidden(entry);
}

bool deleteLogonTask(const std::string& name) {
    const std::string path = entryPath(name);
    return !path.empty() && (unlink(path.c_str()) == 0 || errno == ENOENT);
}

bool createLogonTask(const std::string& name, const std::string& program) {
    const std::string path = entryPath(name);
    if (path.empty() || program.empty()) return false;
    return makeFolders(path.substr(0, path.find_last_of('/'))) &&
           posix::replaceFile(path, entryText(name, program), 0644);
}

std::string logonProgram(const std::string& baseName) {
    const std::string running = executablePath();
    const std::size_t separator = running.find_last_of('/');
    if (separator == std::string::npos) return {};
    const std::string candidate = running.substr(0, separator + 1) + baseName;
    struct stat info {};
    const bool isFile = stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    return isFile ? candidate : running;
}

}  // namespace pellanor::platform
