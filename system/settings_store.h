// The user's settings: texts the pages keep under keys of their choosing, and "minimizeOnClose"
// ("1" or "0") for the main window. They live in the registry key
// HKEY_CURRENT_USER\Software\Pellanor\Settings, stored as REG_SZ text by the rules of Qt's native
// settings object (the POSIX stand-in keeps the same key in its registry store), so the registry
// script methods see them under that key on every system. A key "a/b" is value b of subkey a.
//
// Nothing is cached: every call opens the key, so other processes' changes show at once. All
// calls block briefly on the registry and may run on any thread.
#pragma once

#include <QString>

namespace pellanor::system {

// "HKEY_CURRENT_USER\Software\Pellanor\Settings", as the registry script methods name it.
QString settingsRegistryEntry();

class SettingsStore final {
public:
    // The stored value as text (empty for one that does not read as text), or `defaultValue`
    // when there is none or the key is empty (logged).
    QString value(const QString& key, const QString& defaultValue) const;
    // Stores `value` as text, creating the key on the way. False, with a log line, when the key
    // is empty or the registry refuses the write.
    bool setValue(const QString& key, const QString& value) const;
};

// For the program's own settings, such as "minimizeOnClose".
QString readSetting(const QString& key, const QString& defaultValue);
bool saveSetting(const QString& key, const QString& value);

// The `getSetting` and `setSetting` script methods.
QString getSetting(const QString& key, const QString& defaultValue);
bool setSetting(const QString& key, const QString& value);

}  // namespace pellanor::system
