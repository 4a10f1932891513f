// POSIX stand-in for the registry: keys live in per-hive files of the registry editor's text
// format (see hive_store.h and reg_file.h). An open Key holds its path, not a snapshot: every
// call reads the hive as it is now, as a Windows key handle sees other writers' changes.
#include "platform/registry.h"

#include "platform/posix/hive_store.h"
#include "platform/utf16.h"

namespace pellanor::platform::registry {

struct Key::Impl {
    Root root;
    std::vector<std::string> path;
    Access access;
};

Key::Key() = default;
Key::Key(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
Key::Key(Key&&) noexcept = default;
Key& Key::operator=(Key&&) noexcept = default;
Key::~Key() = default;

namespace {

using posix::reg::KeyNode;

// The longest key name Windows accepts, in UTF-16 units.
constexpr std::size_t kMaxKeyNameUnits = 255;

// Line breaks and zeros cannot be written into a hive file's names.
bool storableName(const std::string& name) {
    return name.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> names;
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// The 32-bit view of HKEY_LOCAL_MACHINE\Software is its WOW6432Node subkey.
std::vector<std::string> viewPath(Root root, const std::string& path, View view) {
    std::vector<std::string> names = splitPath(path);
    const auto is = [&](std::size_t i, const char* name) {
        return names.size() > i && posix::reg::foldName(names[i]) == name;
    };
    if (root == Root::LocalMachine && view == View::Registry32 && is(0, "SOFTWARE") &&
        !is(1, "WOW6432NODE")) {
        names.insert(names.begin() + 1, "WOW6432Node");
    }
    return names;
}

bool validPath(const std::vector<std::string>& names) {
    if (names.size() > posix::reg::kMaxKeyDepth) return false;
    for (const std::string& name : names) {
        if (!storableName(name) || utf16::unitCount(name) > kMaxKeyNameUnits) return false;
    }
    return true;
}

// The key `count` names down from the hive's root; `fullName`, when given, gets its full name
// as stored (the root's name first), which is how the hive file names it.
template <typename Node>
Node* walk(Node& top, const std::vector<std::string>& names, std::size_t count,
           std::string* fullName = nullptr) {
    Node* node = &top;
    if (fullName != nullptr) *fullName = top.name();
    for (std::size_t i = 0; node != nullptr && i < count; ++i) {
        node = node->findSubkey(names[i]);
        if (node != nullptr && fullName != nullptr) *fullName += '\\' + node->name();
    }
    return node;
}

bool canRead(const Key& key) { return key.impl()->access != Access::Write; }
bool canWrite(const Key& key) { return key.impl()->access != Access::Read; }

// Runs `read` on the open key's node; kKeyDeleted when the key has gone since it was opened.
Status readKey(const Key& key, const std::function<Status(const KeyNode&)>& read) {
    if (!key.isOpen()) return kInvalidHandle;
    if (!canRead(key)) return kAccessDenied;
    return posix::hive::read(key.impl()->root, [&](const KeyNode& hive) {
        const KeyNode* node = walk(hive, key.impl()->path, key.impl()->path.size());
        return node != nullptr ? read(*node) : kKeyDeleted;
    });
}

// Runs `change` on the open key's node, with the key's full name for the change's record.
Status changeKey(const Key& key,
                 const std::function<Status(KeyNode&, const std::string&, std::string&)>& change) {
    if (!key.isOpen()) return kInvalidHandle;
    if (!canWrite(key)) return kAccessDenied;
    return posix::hive::modify(key.impl()->root, [&](KeyNode& hive, std::string& record) {
        std::string fullName;
        KeyNode* node = walk(hive, key.impl()->path, key.impl()->path.size(), &fullName);
        return node != nullptr ? change(*node, fullName, record) : kKeyDeleted;
    });
}

Key openedKey(Root root, std::vector<std::string> names, Access access) {
    return Key(std::make_unique<Key::Impl>(Key::Impl{root, std::move(names), access}));
}

Status report(Status status, Status* out) {
    if (out != nullptr) *out = status;
    return status;
}

// Deletes the last key of `names`; `allowed` decides on the key found.
Status deleteLast(Root root, const std::vector<std::string>& names,
                  bool (*allowed)(const KeyNode&)) {
    if (names.empty()) return kAccessDenied;
    return posix::hive::modify(root, [&](KeyNode& hive, std::string& record) {
        std::string fullName;
        KeyNode* parent = walk(hive, names, names.size() - 1, &fullName);
        const KeyNode* node = parent != nullptr ? parent->findSubkey(names.back()) : nullptr;
        if (node == nullptr) return kNotFound;
        if (!allowed(*node)) return kAccessDenied;
        record = posix::reg::keyDeletedRecord(fullName + '\\' + node->name());
        parent->removeSubkey(names.back());
        return kSuccess;
    });
}

}  // namespace

std::string failureReason() { return posix::hive::lastFailure(); }

void setNoticeHandler(NoticeHandler handler) { posix::hive::setNoticeHandler(std::move(handler)); }

Key openKey(Root root, const std::string& path, View view, Access access, Status* status) {
    std::vector<std::string> names = viewPath(root, path, view);
    const Status found = posix::hive::read(root, [&](const KeyNode& hive) {
        return walk(hive, names, names.size()) != nullptr ? kSuccess : kNotFound;
    });
    if (report(found, status) != kSuccess) return Key();
    return openedKey(root, std::move(names), access);
}

Key createKey(Root root, const std::string& path, View view, Status* status) {
    std::vector<std::string> names = viewPath(root, path, view);
    if (!validPath(names)) {
        report(kInvalidParameter, status);
        return Key();
    }
    const Status created = posix::hive::modify(root, [&](KeyNode& hive, std::string& record) {
        KeyNode* node = &hive;
        std::string fullName = hive.name();
        bool changed = false;
        for (const std::string& name : names) {
            node = &node->ensureSubkey(name, changed);
            fullName += '\\' + node->name();
        }
        if (changed) record = posix::reg::keyCreatedRecord(fullName);
        return kSuccess;
    });
    if (report(created, status) != kSuccess) return Key();
    return openedKey(root, std::move(names), Access::ReadWrite);
}

Status enumValue(const Key& key, std::uint32_t index, std::size_t maxNameUnits,
                 std::size_t maxDataBytes, Value& out) {
    return readKey(key, [&](const KeyNode& node) {
        if (index >= node.valueCount()) return kNoMoreItems;
        const Value& value = node.valueAt(index);
        if (utf16::unitCount(value.name) + 1 > maxNameUnits) return kMoreData;
        if (value.data.size() > maxDataBytes) return kMoreData;
        out = value;
        return kSuccess;
    });
}

Status enumSubkey(const Key& key, std::uint32_t index, std::size_t maxNameUnits, std::string& out) {
    return readKey(key, [&](const KeyNode& node) {
        if (index >= node.subkeyCount()) return kNoMoreItems;
        const std::string& name = node.subkeyAt(index).name();
        if (utf16::unitCount(name) + 1 > maxNameUnits) return kMoreData;
        out = name;
        return kSuccess;
    });
}

Status queryValue(const Key& key, const std::string& name, std::size_t maxDataBytes, Value& out) {
    return readKey(key, [&](const KeyNode& node) {
        const Value* value = node.findValue(name);
        if (value == nullptr) return kNotFound;
        if (value->data.size() > maxDataBytes) return kMoreData;
        out = *value;
        return kSuccess;
    });
}

Status setValue(const Key& key, const std::string& name, ValueType type,
                const std::vector<std::uint8_t>& data) {
    if (!storableName(name)) return key.isOpen() ? kInvalidParameter : kInvalidHandle;
    return changeKey(key, [&](KeyNode& node, const std::string& fullName, std::string& record) {
        node.setValue(name, type, data);
        record = posix::reg::valueSetRecord(fullName, *node.findValue(name));
        return kSuccess;
    });
}

Status deleteValue(const Key& key, const std::string& name) {
    return changeKey(key, [&](KeyNode& node, const std::string& fullName, std::string& record) {
        const Value* value = node.findValue(name);
        if (value == nullptr) return kNotFound;
        record = posix::reg::valueDeletedRecord(fullName, value->name);
        node.deleteValue(name);
        return kSuccess;
    });
}

Status deleteTree(Root root, const std::string& path, View view) {
    return deleteLast(root, viewPath(root, path, view), [](const KeyNode&) { return true; });
}

// Windows refuses to delete a key that still has subkeys.
Status deleteKey(Root root, const std::string& path, View view) {
    return deleteLast(root, viewPath(root, path, view),
                      [](const KeyNode& node) { return node.subkeyCount() == 0; });
}

}  // namespace pellanor::platform::registry
