// The stored forms of registry data and the root names: pure, shared by both backends, so a
// value written by one reads back the same through the other.
#include <cstring>

#include "platform/registry.h"
#include "platform/utf16.h"

namespace pellanor::platform::registry {
namespace {

void appendUnits(std::vector<std::uint8_t>& data, std::u16string_view units) {
    for (const char16_t unit : units) {
        data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        data.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
}

// Odd trailing bytes are ignored: a unit needs two.
std::u16string unitsOf(const std::vector<std::uint8_t>& data) {
    std::u16string units;
    units.reserve(data.size() / 2);
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    }
    return units;
}

template <typename Number>
std::vector<std::uint8_t> littleEndian(Number value) {
    std::vector<std::uint8_t> data(sizeof value);
    for (std::size_t i = 0; i < sizeof value; ++i) {
        data[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return data;
}

bool equalIgnoringAsciiCase(const std::string& text, const char* name) {
    if (text.size() != std::strlen(name)) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != name[i]) return false;
    }
    return true;
}

struct RootEntry {
    Root root;
    const char* name;
};

constexpr RootEntry kRoots[] = {
    {Root::ClassesRoot, "HKEY_CLASSES_ROOT"},     {Root::CurrentUser, "HKEY_CURRENT_USER"},
    {Root::LocalMachine, "HKEY_LOCAL_MACHINE"},   {Root::Users, "HKEY_USERS"},
    {Root::CurrentConfig, "HKEY_CURRENT_CONFIG"},
};

}  // namespace

std::vector<std::uint8_t> stringData(const std::string& text) {
    std::vector<std::uint8_t> data;
    appendUnits(data, utf16::fromUtf8(text));
    appendUnits(data, std::u16string(1, u'\0'));
    return data;
}

std::string dataText(const std::vector<std::uint8_t>& data) {
    const std::u16string units = unitsOf(data);
    return utf16::toUtf8(std::u16string_view(units).substr(0, units.find(u'\0')));
}

std::vector<std::uint8_t> multiStringData(const std::vector<std::string>& strings) {
    std::vector<std::uint8_t> data;
    for (const std::string& text : strings) {
        appendUnits(data, utf16::fromUtf8(text));
        appendUnits(data, std::u16string(1, u'\0'));
    }
    appendUnits(data, std::u16string(1, u'\0'));
    return data;
}

// Stops at the first empty string, as Windows readers do: it is the list's terminator.
std::vector<std::string> dataStrings(const std::vector<std::uint8_t>& data) {
    const std::u16string units = unitsOf(data);
    std::vector<std::string> strings;
    std::size_t start = 0;
    while (start < units.size()) {
        std::size_t end = units.find(u'\0', start);
        if (end == std::u16string::npos) end = units.size();
        if (end == start) break;
        strings.push_back(utf16::toUtf8(std::u16string_view(units).substr(start, end - start)));
        start = end + 1;
    }
    return strings;
}

std::vector<std::uint8_t> dwordData(std::uint32_t value) { return littleEndian(value); }

std::vector<std::uint8_t> qwordData(std::uint64_t value) { return littleEndian(value); }

bool rootFromName(const std::string& name, Root& root) {
    for (const RootEntry& entry : kRoots) {
        if (equalIgnoringAsciiCase(name, entry.name)) {
            root = entry.root;
            return true;
        }
    }
    return false;
}

const char* rootName(Root root) {
    for (const RootEntry& entry : kRoots) {
        if (entry.root == root) return entry.name;
    }
    return "";
}

}  // namespace pellanor::platform::registry
