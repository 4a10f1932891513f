// Start-up items. The Run keys are read in the 64-bit view with the fixed buffers of the
// enumeration the pages were built against: a value that does not fit ends its key's listing.
#include "system/startup_items.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/environment.h"
#include "platform/registry.h"
#include "system/environment_text.h"

namespace pellanor::system {
namespace {

namespace reg = platform::registry;

constexpr char kTag[] = "NativeUtil";
constexpr std::size_t kValueNameUnits = 256;
constexpr std::size_t kValueDataBytes = 4096;

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

QString scopeOf(bool machine) {
    return machine ? QStringLiteral("machine") : QStringLiteral("user");
}

QString expandedFolder(const QString& folder) {
    return QString::fromStdString(platform::expandEnvironmentStrings(folder.toStdString()));
}

void appendRunKey(reg::Root root, const char* path, QList<StartupItem>& items) {
    const reg::Key key = reg::openKey(root, path, reg::View::Registry64, reg::Access::Read);
    if (!key.isOpen()) return;
    const QString location =
        QLatin1String(reg::rootName(root)) + QLatin1Char('\\') + QLatin1String(path);
    reg::Value value;
    for (std::uint32_t index = 0;
         reg::enumValue(key, index, kValueNameUnits, kValueDataBytes, value) == reg::kSuccess;
         ++index) {
        if (value.type != reg::ValueType::String && value.type != reg::ValueType::ExpandString) {
            continue;
        }
        items << StartupItem{QString::fromStdString(value.name),
                             QString::fromStdString(reg::dataText(value.data)),
                             location,
                             QLatin1String(kStartupTypeRegistry),
                             scopeOf(root == reg::Root::LocalMachine),
                             true};
    }
}

void appendFolder(const char* folder, bool machine, QList<StartupItem>& items) {
    const QString location = expandedFolder(QLatin1String(folder));
    const QDir directory(hostPath(location));
    if (!directory.exists()) return;
    // Without QDir::Hidden, hidden files such as the folder's desktop.ini stay out.
    const QFileInfoList files = directory.entryInfoList(
        QDir::Files | QDir::Readable | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& file : files) {
        items << StartupItem{file.fileName(),  file.absoluteFilePath(),
                             location,         QLatin1String(kStartupTypeFolder),
                             scopeOf(machine), true};
    }
}

bool removeRunValue(const QString& location, const QString& name) {
    const int separator = location.indexOf(QLatin1Char('\\'));
    if (separator < 0) return false;
    reg::Root root;
    if (!reg::rootFromName(location.left(separator).toStdString(), root)) return false;
    const reg::Key key = reg::openKey(root, location.mid(separator + 1).toStdString(),
                                      reg::View::Registry64, reg::Access::Write);
    return key.isOpen() && reg::deleteValue(key, name.toStdString()) == reg::kSuccess;
}

bool isPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QLatin1Char(':'));
}

// QDir equality compares the folders the paths resolve to, without case where the file system
// has none, so any spelling of a Startup folder is accepted and nothing else is.
bool isStartupFolder(const QString& location) {
    const QDir folder(hostPath(expandedFolder(location)));
    for (const char* startup : {kMachineStartupFolder, kUserStartupFolder}) {
        if (folder == QDir(hostPath(expandedFolder(QLatin1String(startup))))) return true;
    }
    return false;
}

// The page hands back what it listed, but the text is the page's: a name that climbs out of the
// folder or a location elsewhere would make this a deletion of any file.
bool removeFolderFile(const QString& location, const QString& name) {
    if (!isPlainFileName(name) || !isStartupFolder(location)) {
        logging::info(kTag, "refuse to remove startup file outside the startup folders: {}\\{}",
                      location, name);
        return false;
    }
    const QString path = hostPath(expandedFolder(location) + QLatin1Char('\\') + name);
    return QFile::exists(path) && QFile::remove(path);
}

}  // namespace

QList<StartupItem> listStartupItems() {
    QList<StartupItem> items;
    appendRunKey(reg::Root::LocalMachine, kRunKey, items);
    appendRunKey(reg::Root::CurrentUser, kRunKey, items);
    appendRunKey(reg::Root::LocalMachine, kRunOnceKey, items);
    appendRunKey(reg::Root::CurrentUser, kRunOnceKey, items);
    appendFolder(kMachineStartupFolder, true, items);
    appendFolder(kUserStartupFolder, false, items);
    return items;
}

QJsonObject toJson(const StartupItem& item) {
    return QJsonObject{{QLatin1String(kStartupNameKey), item.name},
                       {QLatin1String(kStartupCommandKey), item.command},
                       {QLatin1String(kStartupLocationKey), item.location},
                       {QLatin1String(kStartupTypeKey), item.type},
                       {QLatin1String(kStartupScopeKey), item.scope},
                       {QLatin1String(kStartupEnabledKey), item.enabled}};
}

QString getStartupItems() {
    QJsonArray list;
    for (const StartupItem& item : listStartupItems()) list.append(toJson(item));
    const QJsonObject envelope{{QLatin1String(kStartupListKey), list}};
    return QString::fromUtf8(QJsonDocument(envelope).toJson(QJsonDocument::Indented));
}

bool removeStartupItem(const QString& type, const QString& location, const QString& name) {
    logging::info(kTag, "remove startup item. type={} location={} name={}", type, location, name);
    if (type == QLatin1String(kStartupTypeRegistry)) return removeRunValue(location, name);
    if (type == QLatin1String(kStartupTypeFolder)) return removeFolderFile(location, name);
    return false;
}

}  // namespace pellanor::system
