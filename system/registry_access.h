// Registry values and key trees as the pages address them: an entry (a key path with its root
// in full or abbreviated) and a value key under it, with the rules of Qt's native settings
// object on Windows, so that texts stored by it and by this layer read back the same.
//
// Every call runs in the process's own registry view (the 32-bit one for the 32-bit program on
// 64-bit Windows). All calls block briefly and may run on any thread.
#pragma once

#include <QString>

#include <optional>
#include <string>

#include "platform/registry.h"

namespace pellanor::system {

// A key named by an entry such as "HKEY_CURRENT_USER\Software\Pellanor\Settings".
struct RegistryEntry {
    platform::registry::Root root = platform::registry::Root::CurrentUser;
    std::string path;  // below the root, backslashes, no leading or trailing one; may be empty
};

// The entry's root, with case, in full or as HKCU, HKLM, HKCR or HKU, optionally after one
// leading backslash, followed by nothing or by a backslash and the key path. nullopt for any
// other text (a lower-case root, HKCC, a root glued to more letters).
std::optional<RegistryEntry> parseRegistryEntry(const QString& entry);

// Where a value key lands below its entry. "a/b" is value b of subkey a; a backslash is part of
// the value's name; repeated, leading and trailing slashes do not count; the last part
// "Default" or "." names the key's unnamed default value.
struct ValueKey {
    QString subkey;     // below the entry, backslashes; empty for the entry itself
    QString valueName;  // empty for the default value
    QString keyPath;    // the whole key as a subkey path ("a\b"), what removal deletes as a key
};
// nullopt when nothing is left of the key after its slashes are dropped.
std::optional<ValueKey> parseValueKey(const QString& key);

// The text the settings object reads from a stored value: strings with its escapes undone
// ("@@x" is "@x"; "@String(x)" and "@ByteArray(x)" are x; other "@Type(...)" forms it would
// turn into non-text values are empty); REG_MULTI_SZ its only string when it holds exactly
// one, else empty; REG_BINARY and REG_NONE their bytes as UTF-16 text; REG_DWORD and REG_QWORD
// signed decimal. Numbers of the wrong size and other types are empty.
QString settingsText(const platform::registry::Value& value);

// The `getRegistryString` script method: the value's text, empty when absent or unreadable;
// logs the value when not empty and an entry with an unknown root.
QString getRegistryString(const QString& entry, const QString& key);

// The `setRegistryString` script method: stores REG_SZ text escaped as the settings object
// does (a leading '@' doubled; text with a zero character as REG_BINARY "@String(...)"),
// creating the keys on the way. True when stored; false, with a log line, for an unknown root,
// an empty key, or a write the registry refuses (the log line then carries its error code).
bool setRegistryString(const QString& entry, const QString& key, const QString& value);

// The `setRegistryIntValue` script method: stores a REG_DWORD; otherwise as setRegistryString.
bool setRegistryIntValue(const QString& entry, const QString& key, int value);

// The `removeRegistry` script method: deletes the value called by the key's last part and the
// subkey tree of the key's whole path. True when neither is left, absent ones included; false,
// with a log line, for an unknown root, an empty key (the settings object would empty and
// delete the entry key itself), or a deletion the registry refuses.
bool removeRegistry(const QString& entry, const QString& key);

// The `removeRegistryKey` script method: deletes the key tree `path`, whose root must be
// written in full (any case) and is followed by a backslash; forward slashes count as
// backslashes. Logs an unknown root, and the outcome. True when the tree was deleted.
bool removeRegistryKey(const QString& path);

}  // namespace pellanor::system
