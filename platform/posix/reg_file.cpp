// The hive tree and its encoding. Encoded sections are cached per key because the store
// rewrites the whole file whenever its appended changes outgrow the rest: only the keys changed
// since the last rewrite are encoded again.
#include "platform/posix/reg_file.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cstdio>

#include "platform/utf16.h"

namespace pellanor::platform::posix::reg {
namespace {

using registry::Value;
using registry::ValueType;

// Windows upper-cases names with its own table; glibc's C.UTF-8 case map is the nearest one
// here. Without it only ASCII letters fold.
locale_t upperCaseLocale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return locale;
}

std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (const char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

// REG_SZ data is written as a quoted string only when reading that string back gives the same
// bytes; anything else (no terminator, an odd length, line breaks, lone surrogates) as hex(1).
bool textForm(const std::vector<std::uint8_t>& data, std::string& text) {
    if (data.size() < 2 || data.size() % 2 != 0) return false;
    std::u16string units;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    }
    if (units.back() != u'\0') return false;
    units.pop_back();
    if (units.find_first_of(std::u16string(u"\r\n\0", 3)) != std::u16string::npos) return false;
    text = utf16::toUtf8(units);
    return utf16::fromUtf8(text) == units;
}

// Lines wrap near 80 columns as the editor's exports do, continued with a backslash.
void appendHex(std::string& line, const std::vector<std::uint8_t>& data) {
    static const char kDigits[] = "0123456789abcdef";
    std::size_t column = line.size();
    for (std::size_t i = 0; i < data.size(); ++i) {
        line += kDigits[data[i] >> 4];
        line += kDigits[data[i] & 0x0F];
        column += 2;
        if (i + 1 == data.size()) break;
        line += ',';
        ++column;
        if (column > 76) {
            line += "\\\r\n  ";
            column = 2;
        }
    }
}

std::string nameText(const std::string& name) {
    return name.empty() ? "@" : '"' + escaped(name) + '"';
}

std::string valueLine(const Value& value) {
    std::string line = nameText(value.name) + '=';
    std::string text;
    if (value.type == ValueType::String && textForm(value.data, text)) {
        line += '"' + escaped(text) + '"';
    } else if (value.type == ValueType::Dword && value.data.size() == 4) {
        char number[16];
        std::snprintf(number, sizeof number, "dword:%02x%02x%02x%02x", value.data[3], value.data[2],
                      value.data[1], value.data[0]);
        line += number;
    } else {
        if (value.type == ValueType::Binary) {
            line += "hex:";
        } else {
            char prefix[24];
            std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
            line += prefix;
        }
        appendHex(line, value.data);
    }
    return line + "\r\n";
}

void appendUtf16le(std::string& out, std::string_view utf8) {
    bool ascii = std::all_of(utf8.begin(), utf8.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        for (const char c : utf8) {
            out += c;
            out += '\0';
        }
        return;
    }
    for (const char16_t unit : utf16::fromUtf8(utf8)) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
}

}  // namespace

std::string foldName(std::string_view name) {
    std::string folded(name);
    bool ascii = true;
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
    }
    if (ascii || upperCaseLocale() == locale_t{}) return folded;
    std::u16string units = utf16::fromUtf8(name);
    for (char16_t& unit : units) {
        if (unit < 0xD800 || unit > 0xDFFF) {
            unit = static_cast<char16_t>(towupper_l(unit, upperCaseLocale()));
        }
    }
    return utf16::toUtf8(units);
}

KeyNode::KeyNode(std::string name) : m_name(std::move(name)), m_folded(foldName(m_name)) {}

const Value* KeyNode::findValue(std::string_view name) const {
    const auto found = m_valueIndex.find(foldName(name));
    return found == m_valueIndex.end() ? nullptr : &m_values[found->second].value;
}

void KeyNode::setValue(std::string_view name, ValueType type, std::vector<std::uint8_t> data) {
    changed();
    std::string folded = foldName(name);
    const auto found = m_valueIndex.find(folded);
    if (found != m_valueIndex.end()) {
        Entry& entry = m_values[found->second];
        entry.value.type = type;
        entry.value.data = std::move(data);
        entry.encoded.clear();
        return;
    }
    m_valueIndex.emplace(folded, m_values.size());
    m_values.push_back({Value{std::string(name), type, std::move(data)}, std::move(folded), {}});
}

bool KeyNode::deleteValue(std::string_view name) {
    const auto found = m_valueIndex.find(foldName(name));
    if (found == m_valueIndex.end()) return false;
    changed();
    const std::size_t index = found->second;
    m_valueIndex.erase(found);
    m_values.erase(m_values.begin() + static_cast<std::ptrdiff_t>(index));
    for (std::size_t i = index; i < m_values.size(); ++i) m_valueIndex[m_values[i].folded] = i;
    return true;
}

std::size_t KeyNode::subkeyPosition(const std::string& folded) const {
    const auto at = std::lower_bound(m_subkeys.begin(), m_subkeys.end(), folded,
                                     [](const std::unique_ptr<KeyNode>& node,
                                        const std::string& key) { return node->m_folded < key; });
    return static_cast<std::size_t>(at - m_subkeys.begin());
}

KeyNode* KeyNode::findSubkey(std::string_view name) const {
    const std::string folded = foldName(name);
    const std::size_t at = subkeyPosition(folded);
    return at < m_subkeys.size() && m_subkeys[at]->m_folded == folded ? m_subkeys[at].get()
                                                                      : nullptr;
}

KeyNode& KeyNode::ensureSubkey(std::string_view name, bool& created) {
    const std::string folded = foldName(name);
    const std::size_t at = subkeyPosition(folded);
    if (at < m_subkeys.size() && m_subkeys[at]->m_folded == folded) return *m_subkeys[at];
    created = true;
    const auto inserted = m_subkeys.insert(m_subkeys.begin() + static_cast<std::ptrdiff_t>(at),
                                           std::make_unique<KeyNode>(std::string(name)));
    return **inserted;
}

bool KeyNode::removeSubkey(std::string_view name) {
    const std::string folded = foldName(name);
    const std::size_t at = subkeyPosition(folded);
    if (at >= m_subkeys.size() || m_subkeys[at]->m_folded != folded) return false;
    m_subkeys.erase(m_subkeys.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
}

void KeyNode::encodeTree(const std::string& path, bool writeEmptySection, std::string& out) const {
    if (m_section.empty() && (writeEmptySection || !m_values.empty())) {
        appendUtf16le(m_section, "\r\n[" + path + "]\r\n");
        for (const Entry& entry : m_values) {
            if (entry.encoded.empty()) appendUtf16le(entry.encoded, valueLine(entry.value));
            m_section += entry.encoded;
        }
    }
    out += m_section;
    for (const auto& subkey : m_subkeys)
        subkey->encodeTree(path + '\\' + subkey->m_name, true, out);
}

std::string encodeHive(const KeyNode& hive, registry::Root root) {
    std::string out("\xFF\xFE", 2);
    appendUtf16le(out, "Windows Registry Editor Version 5.00\r\n");
    hive.encodeTree(registry::rootName(root), false, out);
    appendUtf16le(out, "\r\n");
    return out;
}

// The mark tells a record cut short by a crash apart from a last section a user wrote without its
// final line break: only text that starts with it is ever left out of a file.
std::string recordMark() {
    std::string out;
    appendUtf16le(out, ";Pellanor change\r\n");
    return out;
}

std::string valueSetRecord(const std::string& keyPath, const Value& value) {
    std::string out = recordMark();
    appendUtf16le(out, '[' + keyPath + "]\r\n" + valueLine(value) + "\r\n");
    return out;
}

std::string valueDeletedRecord(const std::string& keyPath, const std::string& name) {
    std::string out = recordMark();
    appendUtf16le(out, '[' + keyPath + "]\r\n" + nameText(name) + "=-\r\n\r\n");
    return out;
}

std::string keyCreatedRecord(const std::string& keyPath) {
    std::string out = recordMark();
    appendUtf16le(out, '[' + keyPath + "]\r\n\r\n");
    return out;
}

std::string keyDeletedRecord(const std::string& keyPath) {
    std::string out = recordMark();
    appendUtf16le(out, "[-" + keyPath + "]\r\n\r\n");
    return out;
}

}  // namespace pellanor::platform::posix::reg
