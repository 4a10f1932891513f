// POSIX stand-in for shell links: a freedesktop launcher file.
#include "platform/shortcuts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/paths.h"
#include "platform/posix/desktop_entry.h"

namespace pellanor::platform {
namespace {

using posix::doublePercents;
using posix::escapeValue;
using posix::quoteExecArgument;
using posix::unescapeValue;

std::string launcherPath(const std::string& linkPath) {
    std::string path = localPath(linkPath);
    const std::string suffix = ".lnk";
    if (path.size() >= suffix.size()) {
        std::string tail = path.substr(path.size() - suffix.size());
        for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (tail == suffix) path.erase(path.size() - suffix.size());
    }
    return path + ".desktop";
}

// Splits what quoteExecArgument and doublePercents produced back into target and arguments.
bool parseExec(const std::string& exec, ShellLink* link) {
    if (exec.empty() || exec.front() != '"') return false;
    std::size_t i = 1;
    for (; i < exec.size() && exec[i] != '"'; ++i) {
        if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
        link->target += exec[i];
        if (exec[i] == '%' && i + 1 < exec.size() && exec[i + 1] == '%') ++i;
    }
    if (i == exec.size()) return false;
    std::string rest = exec.substr(i + 1);
    if (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
    for (std::size_t k = 0; k < rest.size(); ++k) {
        link->arguments += rest[k];
        if (rest[k] == '%' && k + 1 < rest.size() && rest[k + 1] == '%') ++k;
    }
    return true;
}

std::string launcherText(const std::string& path, const ShellLink& link) {
    const std::size_t slash = path.find_last_of('/');
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    name.erase(name.size() - std::string(".desktop").size());
    std::string exec = quoteExecArgument(link.target);
    if (!link.arguments.empty()) exec += ' ' + doublePercents(link.arguments);
    std::ostringstream text;
    text << "[Desktop Entry]\nType=Application\nName=" << escapeValue(name)
         << "\nExec=" << escapeValue(exec) << '\n';
    if (!link.workDir.empty()) text << "Path=" << escapeValue(link.workDir) << '\n';
    if (!link.iconPath.empty()) text << "Icon=" << escapeValue(link.iconPath) << '\n';
    return text.str();
}

}  // namespace

bool saveShellLink(const std::string& linkPath, const ShellLink& link) {
    const std::string path = launcherPath(linkPath);
    return posix::replaceFile(path, launcherText(path, link), 0755);
}

std::optional<ShellLink> readShellLink(const std::string& linkPath) {
    std::ifstream file(launcherPath(linkPath));
    if (!file) return std::nullopt;
    ShellLink link;
    bool haveExec = false;
    std::string line;
    while (std::getline(file, line)) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = unescapeValue(line.substr(equals + 1));
        if (key == "Exec") haveExec = parseExec(value, &link);
        if (key == "Path") link.workDir = value;
        if (key == "Icon") link.iconPath = value;
    }
    if (!haveExec) return std::nullopt;
    return link;
}

}  // namespace pellanor::platform
