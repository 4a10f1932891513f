// The programs Windows starts at logon, from the four classic Run keys and the two Startup
// folders, and their removal. All calls block on the registry and the disk; they run on the
// calling thread.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

namespace pellanor::system {

inline constexpr char kStartupNameKey[] = "name";
inline constexpr char kStartupCommandKey[] = "command";
inline constexpr char kStartupLocationKey[] = "location";
inline constexpr char kStartupTypeKey[] = "type";
inline constexpr char kStartupScopeKey[] = "scope";
inline constexpr char kStartupEnabledKey[] = "enabled";
inline constexpr char kStartupListKey[] = "list";

inline constexpr char kStartupTypeRegistry[] = "registry";
inline constexpr char kStartupTypeFolder[] = "folder";

struct StartupItem {
    QString name;      // the value's name, or the file name with its extension
    QString command;   // the value's text as stored, or the file's absolute path (slashes)
    QString location;  // "<root name>\<key path>", or the expanded folder (backslashes)
    QString type;      // kStartupTypeRegistry or kStartupTypeFolder
    QString scope;     // "machine" or "user"
    bool enabled = true;
};

// The Startup folders of all users and of this user, unexpanded.
inline constexpr char kMachineStartupFolder[] =
    "%PROGRAMDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
inline constexpr char kUserStartupFolder[] =
    "%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";

// Every item, sources in order: HKLM Run, HKCU Run, HKLM RunOnce, HKCU RunOnce (all in the
// 64-bit view), then the machine and the user Startup folder. Missing sources add nothing.
QList<StartupItem> listStartupItems();

// An object with exactly the keys of StartupItem.
QJsonObject toJson(const StartupItem& item);

// The `getStartupItems` script method: {"list": [...]} in the JSON writer's indented layout.
QString getStartupItems();

// The `removeStartupItem` script method, given a listed item's type, location and name: deletes
// that Run value (64-bit view) or that file. A folder item is deleted only when `name` is a
// plain file name and `location` is one of the two Startup folders. Logs the request first;
// true when the item was removed.
bool removeStartupItem(const QString& type, const QString& location, const QString& name);

}  // namespace pellanor::system
