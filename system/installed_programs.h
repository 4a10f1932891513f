// The installed programs the uninstall page lists, from the uninstall keys of both hives in both
// registry views, with an icon file for each, and the start of a program's uninstaller. All
// calls block on the registry and the disk; they run on the calling thread.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include "platform/registry.h"

namespace pellanor::system {

inline constexpr char kProgramNameKey[] = "name";
inline constexpr char kProgramPublisherKey[] = "publisher";
inline constexpr char kProgramVersionKey[] = "version";
inline constexpr char kProgramInstallDateKey[] = "installDate";
inline constexpr char kProgramUninstallStringKey[] = "uninstallString";
inline constexpr char kProgramDisplayIconKey[] = "displayIcon";
inline constexpr char kProgramEstimatedSizeKey[] = "estimatedSize";
inline constexpr char kProgramSystemComponentKey[] = "systemComponent";
inline constexpr char kProgramListKey[] = "list";

struct InstalledProgram {
    QString name;               // DisplayName
    QString publisher;          // Publisher
    QString version;            // DisplayVersion
    QString installDate;        // InstallDate, as stored
    QString uninstallString;    // UninstallString
    QString installLocation;    // InstallLocation; for the icon search only
    QString displayIcon;        // the icon file found, empty when none
    quint64 estimatedSize = 0;  // EstimatedSize as stored (KiB); 0 when missing or not a number
    bool systemComponent = false;
    bool windowsInstaller = false;  // for the icon search only
};

// Every listed program: HKLM 64-bit, HKLM 32-bit, HKCU 64-bit, HKCU 32-bit; entries without a
// DisplayName, system components, updates and child entries left out; the first of each
// name + publisher kept; sorted by name without case.
QList<InstalledProgram> listInstalledPrograms();

// An object with the keys the page reads (no installLocation, no windowsInstaller).
QJsonObject toJson(const InstalledProgram& program);

// The `getInstalledPrograms` script method: {"list": [...]} in the JSON writer's indented layout.
QString getInstalledPrograms();

// A value of an open key read into a 2,048-byte buffer: REG_SZ as stored; REG_EXPAND_SZ
// expanded when the result has at most 4,094 units, else as stored; a 4-byte REG_DWORD in
// unsigned decimal; empty for anything else, a missing value or one over the buffer.
QString readRegistryText(const platform::registry::Key& key, const QString& valueName);

// An icon reference as DisplayIcon and the installer store it ("\"C:\x\a.exe\",0") made a
// path: quotes and the icon index dropped, %NAME% expanded (results over 1,038 units are not
// used), slashes made backslashes. Empty for blank text.
QString cleanIconPath(const QString& text);

// The first "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" product code in the text, or empty.
QString extractProductCode(const QString& uninstallString);

// The icon file for an entry, first found wins: DisplayIcon; for installer products the
// installer's ProductIcon, then icon.ico or ARPPRODUCTICON.exe in its cache folder; the first
// *.exe directly in the install folder. Empty when none exists.
QString resolveProgramIcon(const QString& displayIcon, const QString& uninstallString,
                           const QString& installLocation, bool windowsInstaller);

// An uninstall command split as the shell needs it: the quoted or first blank-separated word is
// the program, the rest its parameters.
struct UninstallCommand {
    QString exe;
    QString params;
};
UninstallCommand splitUninstallCommand(const QString& command);

// The `uninstallProgram` script method: starts the command through the shell ("open", normal
// window) and does not wait. Logs the request; false for an empty command or a refused start.
bool uninstallProgram(const QString& command);

}  // namespace pellanor::system
