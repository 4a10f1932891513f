// The disk table of the system's management tool, read by column offsets. Its rows are padded
// to the header's layout with blanks, and a disk without a serial number leaves that column
// blank, so splitting at runs of blanks would move the size into the serial number's place.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "platform/physical_disks.h"

namespace pellanor::platform {
namespace {

enum Column { kModel, kSerialNumber, kSize, kColumnCount };

constexpr std::array<std::string_view, kColumnCount> kColumnNames = {"Model", "SerialNumber",
                                                                     "Size"};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        lines.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

// The tool pads by characters, not bytes: offsets count UTF-8 code points.
std::size_t byteOffset(std::string_view line, std::size_t characters) {
    std::size_t i = 0;
    for (; i < line.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
        if (startsCharacter && characters-- == 0) return i;
    }
    return line.size();
}

// A column's cells: from its header name to the next column's name, in characters.
struct Span {
    std::size_t begin = 0;
    std::size_t end = std::string_view::npos;
};
using Layout = std::array<Span, kColumnCount>;

Layout layoutOf(const std::array<std::size_t, kColumnCount>& offsets) {
    Layout layout;
    for (std::size_t column = 0; column < kColumnCount; ++column) {
        layout[column].begin = offsets[column];
        for (const std::size_t other : offsets) {
            if (other > offsets[column]) layout[column].end = std::min(layout[column].end, other);
        }
    }
    return layout;
}

// The layout a header line gives; nullopt for any other line.
std::optional<Layout> headerLayout(std::string_view line) {
    std::array<std::size_t, kColumnCount> offsets{};
    std::array<bool, kColumnCount> found{};
    std::size_t characters = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        if (isBlank(line[i])) {
            ++i, ++characters;
            continue;
        }
        std::size_t end = i;
        while (end < line.size() && !isBlank(line[end])) ++end;
        const std::string_view word = line.substr(i, end - i);
        const auto named = std::find(kColumnNames.begin(), kColumnNames.end(), word);
        if (named == kColumnNames.end()) return std::nullopt;
        const auto column = static_cast<std::size_t>(named - kColumnNames.begin());
        offsets[column] = characters;
        found[column] = true;
        characters += word.size();  // the names are ASCII
        i = end;
    }
    if (std::count(found.begin(), found.end(), true) != kColumnCount) return std::nullopt;
    return layoutOf(offsets);
}

std::string cell(std::string_view line, const Span& span) {
    const std::size_t begin = byteOffset(line, span.begin);
    const std::size_t end =
        span.end == std::string_view::npos ? line.size() : byteOffset(line, span.end);
    return std::string(trimmed(line.substr(begin, end - begin)));
}

// "nan" or "-1" read as numbers too, but are no size a JSON number can carry to a page.
double sizeValue(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    const bool whole = error == std::errc() && end == text.data() + text.size();
    return whole && std::isfinite(value) && value >= 0 ? value : 0;
}

}  // namespace

std::vector<PhysicalDisk> parseDiskDriveTable(std::string_view text) {
    std::vector<PhysicalDisk> disks;
    std::optional<Layout> layout;
    for (const std::string_view line : splitLines(text)) {
        if (trimmed(line).empty()) continue;
        if (!layout) {
            layout = headerLayout(line);
            continue;
        }
        disks.push_back({cell(line, (*layout)[kModel]), cell(line, (*layout)[kSerialNumber]),
                         sizeValue(cell(line, (*layout)[kSize]))});
    }
    return disks;
}

}  // namespace pellanor::platform
