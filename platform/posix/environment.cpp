// POSIX stand-in for the Windows environment: case-blind lookup, defaults for the Windows
// variables Linux lacks, and the expansion rules of ExpandEnvironmentStringsW.
#include "platform/environment.h"

#include <pwd.h>
#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <string_view>

extern char** environ;

namespace pellanor::platform {
namespace {

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::optional<std::string> nonEmptyVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

std::optional<std::string> underHome(const char* xdgName, const char* relative) {
    if (auto xdg = nonEmptyVariable(xdgName)) return xdg;
    if (auto home = nonEmptyVariable("HOME")) return *home + relative;
    return std::nullopt;
}

std::optional<std::string> hostNameUpperCase() {
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0 || buffer[0] == '\0') return std::nullopt;
    std::string name(buffer);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

std::optional<std::string> loginName() {
    const passwd* entry = getpwuid(geteuid());
    if (entry == nullptr || entry->pw_name == nullptr) return std::nullopt;
    return std::string(entry->pw_name);
}

std::optional<std::string> windowsDefault(std::string_view name) {
    if (sameNameIgnoringCase(name, "TEMP") || sameNameIgnoringCase(name, "TMP")) {
        return nonEmptyVariable("TMPDIR").value_or("/tmp");
    }
    if (sameNameIgnoringCase(name, "LOCALAPPDATA"))
        return underHome("XDG_DATA_HOME", "/.local/share");
    if (sameNameIgnoringCase(name, "APPDATA")) return underHome("XDG_CONFIG_HOME", "/.config");
    if (sameNameIgnoringCase(name, "USERPROFILE")) return nonEmptyVariable("HOME");
    if (sameNameIgnoringCase(name, "PROGRAMDATA")) return std::string("/var/lib");
    if (sameNameIgnoringCase(name, "PROGRAMFILES")) return std::string("/opt");
    if (sameNameIgnoringCase(name, "COMPUTERNAME")) return hostNameUpperCase();
    if (sameNameIgnoringCase(name, "USERNAME")) return loginName();
    return std::nullopt;
}

std::optional<std::string> lookUp(std::string_view name) {
    if (auto exact = environmentVariable(std::string(name))) return exact;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        std::string_view pair(*entry);
        const auto equals = pair.find('=');
        if (equals != std::string_view::npos &&
            sameNameIgnoringCase(pair.substr(0, equals), name)) {
            return std::string(pair.substr(equals + 1));
        }
    }
    return windowsDefault(name);
}

// Characters outside the Basic Multilingual Plane (4-byte UTF-8) take two UTF-16 units.
std::size_t utf16Units(std::string_view utf8) {
    std::size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) == 0x80) continue;
        units += c >= 0xF0 ? 2 : 1;
    }
    return units;
}

}  // namespace

std::string expandEnvironmentStrings(const std::string& text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '%') {
            out += text[i++];
            continue;
        }
        const auto close = text.find('%', i + 1);
        if (close == std::string::npos) {
            out.append(text, i, std::string::npos);
            break;
        }
        const std::string_view name(text.data() + i + 1, close - i - 1);
        if (!name.empty()) {
            if (auto value = lookUp(name)) {
                out += *value;
                i = close + 1;
                continue;
            }
        }
        // As the system does: an unknown reference is copied whole, closing '%' included.
        out.append(text, i, close - i + 1);
        i = close + 1;
    }
    return utf16Units(out) + 1 > kExpansionBufferUnits ? text : out;
}

std::optional<std::string> environmentVariable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

bool setEnvironmentVariable(const std::string& name, const std::string& value) {
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool unsetEnvironmentVariable(const std::string& name) { return ::unsetenv(name.c_str()) == 0; }

}  // namespace pellanor::platform
