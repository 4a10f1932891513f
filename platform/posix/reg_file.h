// The POSIX registry store's hive in memory, and its file form: the text format the Windows
// registry editor exports and imports, so keys can be moved between the two by hand.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/registry.h"

namespace pellanor::platform::posix::reg {

// How many levels of keys may lie below a root, as on Windows. Deeper keys are refused when
// created and make a file that holds one unreadable: each section names its key's whole path, so
// a deep chain costs the square of its depth to write.
constexpr std::size_t kMaxKeyDepth = 512;

// The form in which key and value names compare: upper case, as Windows compares them.
std::string foldName(std::string_view name);

// One key: its values in the order they were first set, its subkeys in the order Windows
// enumerates them (by upper-case name). Names keep the spelling they were created with.
class KeyNode final {
public:
    explicit KeyNode(std::string name);
    KeyNode(const KeyNode&) = delete;
    KeyNode& operator=(const KeyNode&) = delete;

    const std::string& name() const { return m_name; }

    std::size_t valueCount() const { return m_values.size(); }
    const registry::Value& valueAt(std::size_t index) const { return m_values[index].value; }
    const registry::Value* findValue(std::string_view name) const;
    void setValue(std::string_view name, registry::ValueType type, std::vector<std::uint8_t> data);
    bool deleteValue(std::string_view name);

    std::size_t subkeyCount() const { return m_subkeys.size(); }
    const KeyNode& subkeyAt(std::size_t index) const { return *m_subkeys[index]; }
    KeyNode* findSubkey(std::string_view name) const;
    // The subkey of that name, created when missing (`created` then set).
    KeyNode& ensureSubkey(std::string_view name, bool& created);
    bool removeSubkey(std::string_view name);

    // Appends this key's section and those of its subkeys, as UTF-16LE, to `out`. `path` is the
    // key's full name. Sections of unchanged keys come from a cache: a store that rewrites its
    // file for every change must not re-encode every value each time.
    void encodeTree(const std::string& path, bool writeEmptySection, std::string& out) const;

private:
    struct Entry {
        registry::Value value;
        std::string folded;
        mutable std::string encoded;  // its line as UTF-16LE; empty: not encoded since set
    };

    std::size_t subkeyPosition(const std::string& folded) const;
    void changed() { m_section.clear(); }

    std::string m_name;
    std::string m_folded;
    std::vector<Entry> m_values;
    std::unordered_map<std::string, std::size_t> m_valueIndex;
    std::vector<std::unique_ptr<KeyNode>> m_subkeys;
    mutable std::string m_section;  // empty: not encoded since the last change
};

// Reads a hive file's bytes (UTF-16LE or UTF-16BE with a byte-order mark, or UTF-8 with or
// without one; CRLF or LF) holding keys of `root` only. Applies the editor's import rules: later
// sections add to earlier ones, "[-key]" deletes a key, "name"=- a value. Null, with `reason`
// naming the line and the fault, when the text is not such a file. An empty file is an empty
// hive.
std::unique_ptr<KeyNode> parseHive(std::string_view bytes, registry::Root root,
                                   std::string& reason);

// As parseHive, for a file the store may have been appending a record to when it was cut short.
// In a file of the store's own encoding whose text past its last blank line is the start of one
// of our records (its mark line, or a part of it, then a record's shape; hive_store.h gives it),
// that text is left out unless it is whole lines that parse; `dropped` is then its size in
// bytes, else 0. Any other text there is read as the file's own, and fails if it does not parse.
std::unique_ptr<KeyNode> parseAppendedHive(std::string_view bytes, registry::Root root,
                                           std::string& reason, std::size_t& dropped);

// True when records can be appended to a file of these bytes: UTF-16LE with a byte-order mark,
// ending in a blank line, so that the end of every record appended since is known.
bool takesRecords(std::string_view bytes);

// The hive as the editor exports it: UTF-16LE with a byte-order mark, CRLF, one section per key,
// ending in a blank line.
std::string encodeHive(const KeyNode& hive, registry::Root root);

// Records that, appended to a hive file that takesRecords, apply one change when it is read
// under the editor's import rules; UTF-16LE like the file. Each is the mark line (a comment to
// the editor), then one section, then a blank line. `keyPath` is the key's full name, root
// included.
std::string valueSetRecord(const std::string& keyPath, const registry::Value& value);
std::string valueDeletedRecord(const std::string& keyPath, const std::string& name);
std::string keyCreatedRecord(const std::string& keyPath);
std::string keyDeletedRecord(const std::string& keyPath);

// The line every record starts with, CRLF included, as UTF-16LE.
std::string recordMark();

}  // namespace pellanor::platform::posix::reg
