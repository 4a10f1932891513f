// POSIX: the kernel's IPv4 routing table in /proc/net/route and the interfaces in
// /sys/class/net. Both locations can be moved by an environment variable, so that tests can
// describe a machine's network in a temp folder.
#include "platform/network.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

namespace pellanor::platform {
namespace {

// linux/route.h and linux/if.h.
constexpr unsigned long kRouteUp = 0x0001;
constexpr unsigned long kInterfaceUp = 0x0001;
constexpr unsigned long kInterfaceLoopback = 0x0008;
constexpr int kLoopbackType = 772;  // ARPHRD_LOOPBACK

std::string location(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? value : fallback;
}

std::string routeTablePath() { return location("PELLANOR_ROUTE_TABLE", "/proc/net/route"); }
std::string netClassFolder() { return location("PELLANOR_NET_CLASS", "/sys/class/net"); }

struct Route {
    std::string interface;
    unsigned long destination = 0;
    unsigned long flags = 0;
};

// The rows after the header line: interface, destination, gateway and flags, numbers in hex.
std::vector<Route> routes() {
    std::ifstream table(routeTablePath());
    std::string line;
    std::getline(table, line);
    std::vector<Route> rows;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        Route route;
        std::string destination, gateway, flags;
        if (!(fields >> route.interface >> destination >> gateway >> flags)) continue;
        route.destination = std::strtoul(destination.c_str(), nullptr, 16);
        route.flags = std::strtoul(flags.c_str(), nullptr, 16);
        rows.push_back(route);
    }
    return rows;
}

std::string firstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// A file's number as the kernel writes it ("0x1003", "2"); `fallback` when unreadable.
long numberIn(const std::string& path, long fallback) {
    const std::string text = firstLine(path);
    if (text.empty()) return fallback;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 0);
    return end == text.c_str() ? fallback : value;
}

bool interfaceIsUp(const std::string& name) {
    return (numberIn(netClassFolder() + "/" + name + "/flags", 0) & kInterfaceUp) != 0;
}

// "aa:bb:cc:dd:ee:ff" as bytes; empty for anything else.
std::vector<unsigned char> parseAddress(const std::string& text) {
    std::vector<unsigned char> bytes;
    std::size_t i = 0;
    while (i + 2 <= text.size()) {
        char* end = nullptr;
        const std::string pair = text.substr(i, 2);
        const unsigned long value = std::strtoul(pair.c_str(), &end, 16);
        if (end != pair.c_str() + 2) return {};
        bytes.push_back(static_cast<unsigned char>(value));
        i += 2;
        if (i == text.size()) return bytes;
        if (text[i] != ':') return {};
        ++i;
    }
    return {};
}

// Loopback has no hardware; an all-zero address is a virtual device's; a locally administered
// one (bit 1 of the first byte) is assigned by software and may differ after a restart.
bool isStableAddress(const std::vector<unsigned char>& bytes) {
    if (bytes.empty() || (bytes[0] & 0x02) != 0) return false;
    return std::any_of(bytes.begin(), bytes.end(), [](unsigned char b) { return b != 0; });
}

struct Interface {
    long index = 0;
    std::string address;
};

}  // namespace

bool hasDefaultRoute() {
    const std::vector<Route> rows = routes();
    return std::any_of(rows.begin(), rows.end(), [](const Route& r) { return r.destination == 0; });
}

bool isConnectedToInternet() {
    for (const Route& route : routes()) {
        if (route.destination == 0 && (route.flags & kRouteUp) && interfaceIsUp(route.interface)) {
            return true;
        }
    }
    return false;
}

std::string firstAdapterAddress() {
    namespace fs = std::filesystem;
    const std::string folder = netClassFolder();
    std::vector<Interface> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string base = folder + "/" + it->path().filename().string();
        if (numberIn(base + "/type", 0) == kLoopbackType) continue;
        if ((numberIn(base + "/flags", 0) & kInterfaceLoopback) != 0) continue;
        const std::vector<unsigned char> bytes = parseAddress(firstLine(base + "/address"));
        if (!isStableAddress(bytes)) continue;
        found.push_back(
            {numberIn(base + "/ifindex", 0), hardwareAddressText(bytes.data(), bytes.size())});
    }
    if (found.empty()) return {};
    return std::min_element(
               found.begin(), found.end(),
               [](const Interface& a, const Interface& b) { return a.index < b.index; })
        ->address;
}

}  // namespace pellanor::platform
