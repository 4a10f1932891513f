// Start-up items: the six sources in order, the Run-key buffers, and removal that never reaches
// outside a Run value or a Startup folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "system/startup_items.h"
#include "tests/system/registry_fixture.h"
#include "tests/util/file_test_support.h"
#include "tests/util/log_capture.h"

namespace pellanor::system {
namespace {

using test_support::LogCapture;
using test_support::writeFile;
namespace reg = platform::registry;

constexpr char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const QString kStartupTail = QStringLiteral("\\Microsoft\\Windows\\Start Menu\\Programs\\Startup");

class StartupItems : public test_support::RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        ASSERT_TRUE(m_folders.isValid());
        environment().set("PROGRAMDATA", m_folders.filePath(QStringLiteral("all")).toStdString());
        environment().set("APPDATA", m_folders.filePath(QStringLiteral("me")).toStdString());
    }

    // The expanded folder as items name it, and the host folder it is.
    QString location(const char* who) const {
        return m_folders.filePath(QLatin1String(who)) + kStartupTail;
    }
    QString folder(const char* who) const {
        return m_folders.filePath(QLatin1String(who)) +
               QString(kStartupTail).replace(QLatin1Char('\\'), QLatin1Char('/'));
    }
    QString outside(const QString& name) const { return m_folders.filePath(name); }
    QString root() const { return m_folders.path(); }

    static QStringList names(const QList<StartupItem>& items) {
        QStringList all;
        for (const StartupItem& item : items) all << item.type + QLatin1Char(':') + item.name;
        return all;
    }

private:
    QTemporaryDir m_folders;
};

TEST_F(StartupItems, ListsTheSourcesInOrderWithTheirFields) {
    putText(reg::Root::CurrentUser, kRunOnce, "once", "setup.exe /finish");
    putText(reg::Root::CurrentUser, kRun, "user", "u.exe");
    put(reg::Root::LocalMachine, kRun, "machine", reg::ValueType::ExpandString,
        reg::stringData("%ProgramFiles%\\m.exe"), reg::View::Registry64);
    putText(reg::Root::LocalMachine, kRunOnce, "", "default.exe", reg::View::Registry64);
    putDword(reg::Root::LocalMachine, kRun, "number", 1, reg::View::Registry64);
    put(reg::Root::LocalMachine, kRun, "bytes", reg::ValueType::Binary, {1, 2},
        reg::View::Registry64);
    ASSERT_TRUE(writeFile(folder("all") + QStringLiteral("/tool.lnk"), "L"));
    ASSERT_TRUE(writeFile(folder("me") + QStringLiteral("/mine.exe"), "MZ"));
    ASSERT_TRUE(writeFile(folder("me") + QStringLiteral("/.hidden"), "x"));
    ASSERT_TRUE(QDir().mkpath(folder("me") + QStringLiteral("/sub")));

    const QList<StartupItem> items = listStartupItems();
    EXPECT_EQ(names(items), (QStringList{"registry:machine", "registry:user", "registry:",
                                         "registry:once", "folder:tool.lnk", "folder:mine.exe"}));
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(items[0].command, QStringLiteral("%ProgramFiles%\\m.exe"));
    EXPECT_EQ(items[0].location, QStringLiteral("HKEY_LOCAL_MACHINE\\") + QLatin1String(kRun));
    EXPECT_EQ(items[0].scope, QStringLiteral("machine"));
    EXPECT_EQ(items[1].location, QStringLiteral("HKEY_CURRENT_USER\\") + QLatin1String(kRun));
    EXPECT_EQ(items[1].scope, QStringLiteral("user"));
    EXPECT_EQ(items[4].command, folder("all") + QStringLiteral("/tool.lnk"));
    EXPECT_EQ(items[4].location, location("all"));
    EXPECT_EQ(items[4].scope, QStringLiteral("machine"));
    EXPECT_EQ(items[5].scope, QStringLiteral("user"));

    const QJsonObject first = QJsonDocument::fromJson(getStartupItems().toUtf8())
                                  .object()[QStringLiteral("list")]
                                  .toArray()[0]
                                  .toObject();
    EXPECT_EQ(first.keys(),
              (QStringList{"command", "enabled", "location", "name", "scope", "type"}));
    EXPECT_EQ(first[QStringLiteral("enabled")], QJsonValue(true));
}

TEST_F(StartupItems, AValueOverTheBuffersEndsItsKeysListingOnly) {
    putText(reg::Root::LocalMachine, kRun, "first", "a.exe", reg::View::Registry64);
    putText(reg::Root::LocalMachine, kRun, "long", std::string(2100, 'x'), reg::View::Registry64);
    putText(reg::Root::LocalMachine, kRun, "after", "b.exe", reg::View::Registry64);
    putText(reg::Root::CurrentUser, kRun, std::string(256, 'n'), "c.exe");
    putText(reg::Root::CurrentUser, kRun, "unreached", "d.exe");
    putText(reg::Root::LocalMachine, kRunOnce, "next", "e.exe", reg::View::Registry64);

    EXPECT_EQ(names(listStartupItems()), (QStringList{"registry:first", "registry:next"}));
}

TEST_F(StartupItems, RemovesRunValuesByRootNameOfAnyCase) {
    putText(reg::Root::CurrentUser, kRun, "tool", "t.exe");
    const QString lower = QStringLiteral("hkey_current_user\\") + QLatin1String(kRun);
    LogCapture log;

    EXPECT_FALSE(removeStartupItem(QStringLiteral("Registry"), lower, QStringLiteral("tool")));
    EXPECT_FALSE(removeStartupItem(QStringLiteral("registry"),
                                   QStringLiteral("HKCU\\") + QLatin1String(kRun),
                                   QStringLiteral("tool")));
    EXPECT_FALSE(removeStartupItem(QStringLiteral("registry"), QStringLiteral("HKEY_CURRENT_USER"),
                                   QStringLiteral("tool")));
    EXPECT_TRUE(removeStartupItem(QStringLiteral("registry"), lower, QStringLiteral("tool")));
    EXPECT_FALSE(removeStartupItem(QStringLiteral("registry"), lower, QStringLiteral("tool")));
    EXPECT_TRUE(log.contains("NativeUtil", QStringLiteral("remove startup item. type=Registry "
                                                          "location=") +
                                               lower + QStringLiteral(" name=tool")));
}

TEST_F(StartupItems, RemovesFilesOnlyFromTheStartupFolders) {
    ASSERT_TRUE(writeFile(folder("me") + QStringLiteral("/mine.exe"), "MZ"));
    ASSERT_TRUE(writeFile(outside(QStringLiteral("sentinel.txt")), "keep"));
    ASSERT_TRUE(writeFile(outside(QStringLiteral("me/sentinel.txt")), "keep"));
    const QString type = QLatin1String(kStartupTypeFolder);

    const struct {
        QString location;
        QString name;
    } refused[] = {
        {location("me"), QStringLiteral("..\\..\\..\\..\\..\\..\\sentinel.txt")},
        {location("me"), QStringLiteral("../../../../../../sentinel.txt")},
        {location("me"), QStringLiteral("..")},
        {QDir::toNativeSeparators(root()), QStringLiteral("sentinel.txt")},
        {root() + QStringLiteral("\\me"), QStringLiteral("sentinel.txt")},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.location.toStdString() + " " + c.name.toStdString());
        EXPECT_FALSE(removeStartupItem(type, c.location, c.name));
    }
    EXPECT_TRUE(QFile::exists(outside(QStringLiteral("sentinel.txt"))));
    EXPECT_TRUE(QFile::exists(outside(QStringLiteral("me/sentinel.txt"))));

    EXPECT_TRUE(removeStartupItem(type, QStringLiteral("%APPDATA%") + kStartupTail,
                                  QStringLiteral("mine.exe")));
    EXPECT_FALSE(QFile::exists(folder("me") + QStringLiteral("/mine.exe")));
    EXPECT_FALSE(removeStartupItem(type, location("me"), QStringLiteral("mine.exe")));
}

}  // namespace
}  // namespace pellanor::system
