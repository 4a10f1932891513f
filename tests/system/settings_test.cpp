// Settings kept as texts under the settings key, where the registry script methods see them,
// and start at logon in the POSIX stand-in's private autostart folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "platform/executable.h"
#include "system/logon_start.h"
#include "system/registry_access.h"
#include "system/settings_store.h"
#include "tests/system/registry_fixture.h"
#include "tests/util/log_capture.h"

namespace pellanor::system {
namespace {

using test_support::LogCapture;
namespace reg = platform::registry;

const std::string kSettingsPath = "Software\\Pellanor\\Settings";
const std::string kRunPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class Settings : public test_support::RegistryTest {
protected:
    LogCapture m_log;
};

TEST_F(Settings, KeepTextsUnderTheSettingsKeyWhereTheRegistryMethodsReadThem) {
    EXPECT_EQ(settingsRegistryEntry(),
              QStringLiteral("HKEY_CURRENT_USER\\Software\\Pellanor\\Settings"));
    const struct {
        const char* key;
        const char* value;
    } cases[] = {{"minimizeOnClose", "1"}, {"theme", ""}, {"mail", "@me"}, {"window/left", "-5"}};
    for (const auto& setting : cases) {
        const QString key = QString::fromUtf8(setting.key);
        const QString value = QString::fromUtf8(setting.value);
        SCOPED_TRACE(setting.key);
        EXPECT_TRUE(setSetting(key, value));
        // A stored empty text is a value, not an absent one.
        EXPECT_EQ(getSetting(key, QStringLiteral("default")), value);
        EXPECT_EQ(getRegistryString(settingsRegistryEntry(), key), value);
    }
    const reg::Value stored = this->stored(reg::Root::CurrentUser, kSettingsPath, "minimizeOnClose");
    EXPECT_EQ(stored.type, reg::ValueType::String);
    EXPECT_EQ(reg::dataText(stored.data), "1");

    putDword(reg::Root::CurrentUser, kSettingsPath, "count", 7);
    EXPECT_EQ(readSetting(QStringLiteral("count"), {}), QStringLiteral("7"));
    EXPECT_EQ(readSetting(QStringLiteral("absent"), QStringLiteral("dflt")), QStringLiteral("dflt"));
}

TEST_F(Settings, RefuseAnEmptyKeyWithALogLine) {
    EXPECT_FALSE(setSetting(QStringLiteral("/"), QStringLiteral("x")));
    EXPECT_EQ(getSetting(QString(), QStringLiteral("dflt")), QStringLiteral("dflt"));
    EXPECT_FALSE(keyExists(reg::Root::CurrentUser, kSettingsPath));
    EXPECT_EQ(m_log.lines().size(), 2);
}

TEST_F(Settings, StartUpOnBootReplacesTheOldRunValueWithATaskForTheRunningProgram) {
    const QTemporaryDir config;
    environment().set("XDG_CONFIG_HOME", config.path().toStdString());
    putText(reg::Root::CurrentUser, kRunPath, "Pellanor", "C:\\old\\Pellanor.exe");
    putText(reg::Root::CurrentUser, kRunPath, "Other", "C:\\other.exe");

    EXPECT_FALSE(isStartupOnBoot());
    EXPECT_TRUE(setStartupOnBoot(true));
    EXPECT_TRUE(isStartupOnBoot());
    EXPECT_EQ(stored(reg::Root::CurrentUser, kRunPath, "Pellanor").type, reg::ValueType::None);
    EXPECT_EQ(stored(reg::Root::CurrentUser, kRunPath, "Other").type, reg::ValueType::String);
    // No start-up program beside this test: the task runs the test itself.
    const QString program = QString::fromStdString(platform::executablePath());
    EXPECT_TRUE(m_log.contains("NativeUtil", QStringLiteral("create startup task: ") + program));
    QFile entry(config.filePath(QStringLiteral("autostart/PellanorStartup.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains(("Exec=\"" + program + "\"\n").toUtf8()));

    EXPECT_TRUE(setStartupOnBoot(false));
    EXPECT_FALSE(isStartupOnBoot());
    EXPECT_TRUE(setStartupOnBoot(false)) << "no task to remove is no failure";
}

}  // namespace
}  // namespace pellanor::system
