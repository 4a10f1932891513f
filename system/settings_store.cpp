// The settings over the registry values layer, so that settings and the registry script methods
// share one reading of stored texts and one way of writing them.
#include "system/settings_store.h"

#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/registry.h"
#include "product/product.h"
#include "system/registry_access.h"

namespace pellanor::system {
namespace {

namespace reg = platform::registry;

constexpr char kTag[] = "NativeUtil";

// Far above any text a page keeps; a larger value is not a setting.
constexpr std::size_t kMaxValueBytes = 1u << 20;

std::string settingsKeyPath() {
    return std::string("Software\\") + product::kName + "\\Settings";
}

}  // namespace

QString settingsRegistryEntry() {
    return QStringLiteral("HKEY_CURRENT_USER\\") + QString::fromStdString(settingsKeyPath());
}

QString SettingsStore::value(const QString& key, const QString& defaultValue) const {
    const auto where = parseValueKey(key);
    if (!where) {
        logging::info(kTag, "settings key is empty: {}", key);
        return defaultValue;
    }
    std::string path = settingsKeyPath();
    if (!where->subkey.isEmpty()) path += '\\' + where->subkey.toStdString();
    const reg::Key handle =
        reg::openKey(reg::Root::CurrentUser, path, reg::View::Default, reg::Access::Read);
    reg::Value stored;
    if (!handle.isOpen() || reg::queryValue(handle, where->valueName.toStdString(), kMaxValueBytes,
                                            stored) != reg::kSuccess) {
        return defaultValue;
    }
    return settingsText(stored);
}

bool SettingsStore::setValue(const QString& key, const QString& value) const {
    return setRegistryString(settingsRegistryEntry(), key, value);
}

QString readSetting(const QString& key, const QString& defaultValue) {
    return SettingsStore().value(key, defaultValue);
}

bool saveSetting(const QString& key, const QString& value) {
    return SettingsStore().setValue(key, value);
}

QString getSetting(const QString& key, const QString& defaultValue) {
    return readSetting(key, defaultValue);
}

bool setSetting(const QString& key, const QString& value) { return saveSetting(key, value); }

}  // namespace pellanor::system
