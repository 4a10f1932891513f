// Settings kept as texts under the settings key, where the registry script methods see them,
// and start at logon in the POSIX stand-in's private autostart folder.
#include <gtest/gtest.h>

#include <QFile>

#include "platform/executable.h"
#include "system/logon_start.h"
#include "system/registry_access.h"
#include "system/settings_store.h"
#include "tests/system/registry_fixture.h"
#include "tests/util/log_capture.h"

namespace pellanor::system {
namespace {

namespace reg = platform::registry;

const std::string kRunPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class Settings : public test_support::RegistryTest {
protected:
    test_support::LogCapture m_log;
};

TEST_F(Settings, KeepTextsUnderTheSettingsKeyWhereTheRegistryMethodsReadThem) {
    const QString entry = QStringLiteral("HKEY_CURRENT_USER\\Software\\Pellanor\\Settings");
    // An empty text is a value, not an absent one.
    for (const char* value : {"1", "", "@me"}) {
        EXPECT_TRUE(setSetting(QStringLiteral("window/left"), QString::fromUtf8(value)));
        EXPECT_EQ(getSetting(QStringLiteral("window/left"), QStringLiteral("dflt")), value);
        EXPECT_EQ(getRegistryString(entry, QStringLiteral("window/left")), value);
    }
    EXPECT_TRUE(saveSetting(QStringLiteral("minimizeOnClose"), QStringLiteral("0")));
    const reg::Value stored =
        this->stored(reg::Root::CurrentUser, "Software\\Pellanor\\Settings", "minimizeOnClose");
    EXPECT_EQ(stored.type, reg::ValueType::String);
    EXPECT_EQ(reg::dataText(stored.data), "0");
    EXPECT_EQ(readSetting(QStringLiteral("absent"), QStringLiteral("dflt")),
              QStringLiteral("dflt"));
    EXPECT_FALSE(setSetting(QStringLiteral("/"), QStringLiteral("x"))) << "an empty key";
}

TEST_F(Settings, StartUpOnBootReplacesTheOldRunValueWithATaskForTheRunningProgram) {
    const QTemporaryDir config;
    environment().set("XDG_CONFIG_HOME", config.path().toStdString());
    putText(reg::Root::CurrentUser, kRunPath, "Pellanor", "C:\\old\\Pellanor.exe");
    putText(reg::Root::CurrentUser, kRunPath, "Other", "C:\\other.exe");

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
