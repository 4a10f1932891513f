// Reading a hive file: the editor's import rules, strict about everything else, because a file
// read wrongly would be written back with less than it held.
#include <algorithm>

#include "platform/posix/reg_file.h"
#include "platform/utf16.h"

namespace pellanor::platform::posix::reg {
namespace {

using registry::Root;
using registry::ValueType;

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOwnMark("\xFF\xFE", 2);
constexpr std::string_view kBlankLine("\r\0\n\0\r\0\n\0", 8);
constexpr std::string_view kLineBreak("\n\0", 2);

// Where the text past the last blank line of UTF-16LE `bytes` starts; npos without one. Only
// whole units count: a blank line's bytes may also straddle two units of other characters.
std::size_t pastLastBlankLine(std::string_view bytes) {
    std::size_t at = bytes.rfind(kBlankLine);
    while (at != std::string_view::npos && at % 2 != 0) {
        at = at == 0 ? std::string_view::npos : bytes.rfind(kBlankLine, at - 1);
    }
    return at == std::string_view::npos ? at : at + kBlankLine.size();
}

// Whether UTF-16LE `bytes` could be the start of a record: a key line, at most one value line,
// that value's continuation lines (they begin with spaces), then the start of the blank line
// that ends it. Zero units at the end are a file extended by a write that never landed.
bool recordShaped(std::string_view bytes) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    while (!text.empty() && text.back() == u'\0') text.pop_back();
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < text.size(); ++lineNumber) {
        const std::size_t end = std::min(text.find(u'\n', start), text.size());
        const std::u16string_view line(text.data() + start, end - start);
        start = end + 1;
        const char16_t first = line.empty() ? u'\r' : line.front();
        bool fits = false;
        if (lineNumber == 0) {
            fits = first == u'[';
        } else if (first == u'"' || first == u'@') {
            fits = lineNumber == 1;
        } else if (first == u' ') {
            fits = lineNumber >= 2;
        } else {
            fits = start >= text.size() && line.size() <= 1 && first == u'\r';
        }
        if (!fits) return false;
    }
    return true;
}

// Whether `tail`, the text past the last blank line, is what a write of one of our records cut
// short leaves: a part of the mark line, or the whole mark line followed by the start of a
// record. Zero bytes at the end are a file extended by a write that never landed; nothing but
// zeros is such a write too. A user's file never starts its last section with the mark, so its
// text is never taken for ours.
bool ourCutRecord(std::string_view tail) {
    const std::string mark = recordMark();
    std::string_view written = tail;
    while (!written.empty() && written.back() == '\0') written.remove_suffix(1);
    if (written.size() <= mark.size()) return mark.compare(0, written.size(), written) == 0;
    return tail.substr(0, mark.size()) == mark && recordShaped(tail.substr(mark.size()));
}

bool decodeText(std::string_view bytes, std::string& text) {
    auto units = [&](std::size_t start, bool bigEndian) {
        std::u16string out;
        out.reserve(bytes.size() / 2);
        for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
            const auto first = static_cast<unsigned char>(bytes[i]);
            const auto second = static_cast<unsigned char>(bytes[i + 1]);
            out += static_cast<char16_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
        }
        return out;
    };
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        if (bytes.size() % 2 != 0) return false;
        text = utf16::toUtf8(units(2, bytes[0] == '\xFE'));
        return true;
    }
    // The editor's own files carry a byte-order mark; one without it whose second byte is zero
    // can only be UTF-16LE, as the header begins with an ASCII letter.
    if (bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0') {
        if (bytes.size() % 2 != 0) return false;
        text = utf16::toUtf8(units(0, false));
        return true;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    text.assign(bytes);
    return utf16::toUtf8(utf16::fromUtf8(text)) == text;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool hexNumber(std::string_view digits, std::uint32_t& number) {
    if (digits.empty() || digits.size() > 8) return false;
    number = 0;
    for (const char c : digits) {
        if (hexDigit(c) < 0) return false;
        number = number * 16 + static_cast<std::uint32_t>(hexDigit(c));
    }
    return true;
}

bool hexBytes(std::string_view list, std::vector<std::uint8_t>& data) {
    if (trimmed(list).empty()) return true;
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view item = trimmed(list.substr(0, comma));
        std::uint32_t byte = 0;
        if (item.size() > 2 || !hexNumber(item, byte)) return false;
        data.push_back(static_cast<std::uint8_t>(byte));
        if (comma == std::string_view::npos) return true;
        list.remove_prefix(comma + 1);
    }
}

// Reads the file line by line; the first fault stops it and is kept for the caller's reason.
class HiveParser final {
public:
    HiveParser(std::string_view text, Root root) : m_text(text), m_root(root) {}

    std::unique_ptr<KeyNode> run() {
        m_hive = std::make_unique<KeyNode>(registry::rootName(m_root));
        std::string_view line;
        while (nextLine(line) && trimmed(line).empty()) {
        }
        if (m_lineNumber == 0) return std::move(m_hive);  // an empty file
        if (trimmed(line) != kHeader) {
            return fail("not a registry file (the first line must be \"" + std::string(kHeader) +
                        "\")");
        }
        while (nextLine(line)) {
            const std::string_view text = trimmed(line);
            bool ok = true;
            if (text.empty() || text.front() == ';') continue;
            if (text.front() == '[') {
                ok = section(text);
            } else if (text.front() == '"' || text.front() == '@') {
                ok = value(text);
            } else {
                ok = fault("unexpected text");
            }
            if (!ok) return nullptr;
        }
        return std::move(m_hive);
    }

    std::string reason() const { return "line " + std::to_string(m_lineNumber) + ": " + m_fault; }

private:
    bool fault(std::string text) {
        m_fault = std::move(text);
        return false;
    }
    std::unique_ptr<KeyNode> fail(std::string text) {
        fault(std::move(text));
        return nullptr;
    }

    bool nextLine(std::string_view& line) {
        if (m_pos >= m_text.size()) return false;
        const std::size_t end = m_text.find('\n', m_pos);
        line = m_text.substr(m_pos, end == std::string_view::npos ? end : end - m_pos);
        m_pos = end == std::string_view::npos ? m_text.size() : end + 1;
        ++m_lineNumber;
        return true;
    }

    // A quoted string at the start of `text` (the opening quote included); advances past it.
    bool quoted(std::string_view& text, std::string& out) {
        for (std::size_t i = 1; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '"') {
                text.remove_prefix(i + 1);
                return true;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (++i == text.size()) break;
            // Other editors write a line break inside a string as \n.
            if (text[i] == '\\' || text[i] == '"') {
                out += text[i];
            } else if (text[i] == 'n') {
                out += '\n';
            } else {
                return fault(std::string("unknown escape \\") + text[i] + " in a string");
            }
        }
        return fault("a string without its closing quote");
    }

    bool section(std::string_view text) {
        if (text.back() != ']') return fault("a key line without its closing bracket");
        text = text.substr(1, text.size() - 2);
        const bool deleting = !text.empty() && text.front() == '-';
        if (deleting) text.remove_prefix(1);
        std::vector<std::string_view> names;
        for (std::size_t start = 0; start <= text.size();) {
            std::size_t end = text.find('\\', start);
            if (end == std::string_view::npos) end = text.size();
            if (end > start) names.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        registry::Root named{};
        if (names.empty() || !registry::rootFromName(std::string(names[0]), named)) {
            return fault("a key outside the predefined roots");
        }
        if (names.size() - 1 > kMaxKeyDepth) {
            return fault("a key more than " + std::to_string(kMaxKeyDepth) + " levels deep");
        }
        if (named != m_root) {
            return fault("a key of " + std::string(registry::rootName(named)) + " in the " +
                         registry::rootName(m_root) + " file");
        }
        m_current = nullptr;
        m_inDeletedKey = deleting;
        if (deleting) return names.size() > 1 ? deleteKey(names) : fault("the deletion of a root");
        m_current = m_hive.get();
        bool created = false;
        for (std::size_t i = 1; i < names.size(); ++i) {
            m_current = &m_current->ensureSubkey(names[i], created);
        }
        return true;
    }

    bool deleteKey(const std::vector<std::string_view>& names) {
        KeyNode* parent = m_hive.get();
        for (std::size_t i = 1; parent != nullptr && i + 1 < names.size(); ++i) {
            parent = parent->findSubkey(names[i]);
        }
        if (parent != nullptr) parent->removeSubkey(names.back());
        return true;
    }

    bool value(std::string_view text) {
        std::string name;
        if (text.front() == '@') {
            text.remove_prefix(1);
        } else if (!quoted(text, name)) {
            return false;
        }
        text = trimmed(text);
        if (text.empty() || text.front() != '=') return fault("a value without '='");
        std::string data(trimmed(text.substr(1)));
        // Hex lists may run over several lines, each but the last ending in a backslash.
        std::string_view next;
        while (!data.empty() && data.front() != '"' && data.back() == '\\') {
            if (!nextLine(next)) return fault("a continued line at the end of the file");
            data.pop_back();
            data += trimmed(next);
        }
        if (m_current == nullptr) {
            // The editor ignores the values of a deleted key.
            return m_inDeletedKey || fault("a value before the first key");
        }
        return store(name, data);
    }

    bool store(const std::string& name, std::string_view data) {
        std::vector<std::uint8_t> bytes;
        std::uint32_t number = 0;
        const std::size_t close = data.find("):");
        if (data == "-") {
            m_current->deleteValue(name);
        } else if (!data.empty() && data.front() == '"') {
            std::string text;
            if (!quoted(data, text)) return false;
            if (!trimmed(data).empty()) return fault("text after a string's closing quote");
            m_current->setValue(name, ValueType::String, registry::stringData(text));
        } else if (data.substr(0, 6) == "dword:") {
            if (!hexNumber(trimmed(data.substr(6)), number)) return fault("a malformed dword");
            m_current->setValue(name, ValueType::Dword, registry::dwordData(number));
        } else if (data.substr(0, 4) == "hex:") {
            if (!hexBytes(data.substr(4), bytes)) return fault("a malformed hex byte list");
            m_current->setValue(name, ValueType::Binary, std::move(bytes));
        } else if (data.substr(0, 4) == "hex(" && close != std::string_view::npos) {
            if (!hexNumber(data.substr(4, close - 4), number)) return fault("a malformed type");
            if (!hexBytes(data.substr(close + 2), bytes)) return fault("a malformed hex byte list");
            m_current->setValue(name, static_cast<ValueType>(number), std::move(bytes));
        } else {
            return fault("a value of unknown form");
        }
        return true;
    }

    std::string_view m_text;
    Root m_root;
    std::size_t m_pos = 0;
    std::size_t m_lineNumber = 0;
    std::unique_ptr<KeyNode> m_hive;
    KeyNode* m_current = nullptr;
    bool m_inDeletedKey = false;
    std::string m_fault;
};

}  // namespace

bool takesRecords(std::string_view bytes) {
    return bytes.size() % 2 == 0 && bytes.substr(0, 2) == kOwnMark &&
           bytes.size() >= kBlankLine.size() &&
           bytes.substr(bytes.size() - kBlankLine.size()) == kBlankLine;
}

std::unique_ptr<KeyNode> parseAppendedHive(std::string_view bytes, Root root, std::string& reason,
                                           std::size_t& dropped) {
    dropped = 0;
    const std::size_t tail =
        bytes.substr(0, 2) == kOwnMark ? pastLastBlankLine(bytes) : std::string_view::npos;
    if (tail == std::string_view::npos || tail == bytes.size() ||
        !ourCutRecord(bytes.substr(tail))) {
        return parseHive(bytes, root, reason);
    }
    // A record cut after its last line break is the whole change: it is kept when it parses. One
    // cut inside a line may parse as a shorter number, so it never is.
    const bool wholeLines =
        bytes.size() % 2 == 0 && bytes.substr(bytes.size() - kLineBreak.size()) == kLineBreak;
    if (wholeLines) {
        if (std::unique_ptr<KeyNode> hive = parseHive(bytes, root, reason)) return hive;
    }
    std::unique_ptr<KeyNode> hive = parseHive(bytes.substr(0, tail), root, reason);
    if (hive) dropped = bytes.size() - tail;
    return hive;
}

std::unique_ptr<KeyNode> parseHive(std::string_view bytes, Root root, std::string& reason) {
    std::string text;
    if (!decodeText(bytes, text)) {
        reason = "not UTF-8 or UTF-16 text";
        return nullptr;
    }
    HiveParser parser(text, root);
    std::unique_ptr<KeyNode> hive = parser.run();
    if (!hive) reason = parser.reason();
    return hive;
}

}  // namespace pellanor::platform::posix::reg
