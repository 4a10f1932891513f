// Installed programs: which uninstall entries are shown, once each and in name order, the
// texts read from their values, the icon found for each, and the uninstaller's start.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include "system/installed_programs.h"
#include "tests/system/registry_fixture.h"
#include "tests/util/file_test_support.h"
#include "tests/util/log_capture.h"

namespace pellanor::system {
namespace {

using test_support::LogCapture;
using test_support::readFile;
using test_support::writeFile;
namespace reg = platform::registry;

const std::string kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const QString kCode = QStringLiteral("{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");

class InstalledPrograms : public test_support::RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        ASSERT_TRUE(m_drive.isValid());
        environment().set("PELLANOR_DRIVES", "C=" + m_drive.path().toStdString());
    }

    // A file on the test's drive C:, given its Windows path.
    bool placeOnC(const QString& windowsPath) const {
        return writeFile(
            m_drive.path() + windowsPath.mid(2).replace(QLatin1Char('\\'), QLatin1Char('/')), "x");
    }
    QString onC(const QString& windowsPath) const {
        return m_drive.path() + windowsPath.mid(2).replace(QLatin1Char('\\'), QLatin1Char('/'));
    }

    static void entry(reg::Root root, reg::View view, const std::string& id,
                      const std::string& name, const std::string& publisher) {
        putText(root, kUninstall + id, "DisplayName", name, view);
        if (!publisher.empty()) putText(root, kUninstall + id, "Publisher", publisher, view);
    }

    static QStringList shown() {
        QStringList all;
        for (const InstalledProgram& program : listInstalledPrograms()) {
            all << program.name + QLatin1Char('|') + program.publisher;
        }
        return all;
    }

private:
    QTemporaryDir m_drive;
};

constexpr auto kMachine = reg::Root::LocalMachine;
constexpr auto kUser = reg::Root::CurrentUser;
constexpr auto k64 = reg::View::Registry64;
constexpr auto k32 = reg::View::Registry32;

TEST_F(InstalledPrograms, HidesComponentsUpdatesChildrenAndNamelessEntries) {
    entry(kMachine, k64, "a", "Shown", "Maker");
    putDword(kMachine, kUninstall + "a", "SystemComponent", 0, k64);
    entry(kMachine, k64, "b", "Component", "");
    putDword(kMachine, kUninstall + "b", "SystemComponent", 1, k64);
    entry(kMachine, k64, "c", "Text component", "");
    putText(kMachine, kUninstall + "c", "SystemComponent", "1", k64);
    entry(kMachine, k32, "KB1", "Security fix", "");
    putText(kMachine, kUninstall + "KB1", "ReleaseType", "Security Update", k32);
    entry(kMachine, k32, "KB2", "Hotfix child", "");
    putText(kMachine, kUninstall + "KB2", "ParentKeyName", "OperatingSystem", k32);
    entry(kUser, k64, "d", "Service pack", "");
    putText(kUser, kUninstall + "d", "ReleaseType", "servicepack hotfix", k64);
    putText(kUser, kUninstall + "e", "Publisher", "No name", k64);

    EXPECT_EQ(shown(), QStringList{QStringLiteral("Shown|Maker")});
}

TEST_F(InstalledPrograms, KeepsEachNameAndPublisherOnceSortedByNameWithoutCase) {
    entry(kMachine, k64, "z", "zip tool", "Zed");
    entry(kMachine, k32, "z32", "zip tool", "Zed");
    entry(kUser, k64, "z-user", "zip tool", "Zed");
    entry(kUser, k32, "other", "zip tool", "Other Zed");
    entry(kMachine, k32, "b", "Browser", "B");
    entry(kUser, k64, "a", "archiver", "A");

    EXPECT_EQ(shown(),
              (QStringList{"archiver|A", "Browser|B", "zip tool|Zed", "zip tool|Other Zed"}));
}

TEST_F(InstalledPrograms, FillsRecordsAndTheirJson) {
    entry(kMachine, k64, "app", "App", "Maker");
    putText(kMachine, kUninstall + "app", "DisplayVersion", "2.1", k64);
    putText(kMachine, kUninstall + "app", "InstallDate", "20240131", k64);
    putText(kMachine, kUninstall + "app", "UninstallString", "\"C:\\App\\un.exe\" /S", k64);
    putDword(kMachine, kUninstall + "app", "EstimatedSize", 2048, k64);
    entry(kMachine, k64, "bare", "Bare", "");
    putText(kMachine, kUninstall + "bare", "EstimatedSize", "lots", k64);

    const QJsonArray list = QJsonDocument::fromJson(getInstalledPrograms().toUtf8())
                                .object()[QStringLiteral("list")]
                                .toArray();
    ASSERT_EQ(list.size(), 2);
    const QJsonObject app = list[0].toObject();
    EXPECT_EQ(app.keys(),
              (QStringList{"displayIcon", "estimatedSize", "installDate", "name", "publisher",
                           "systemComponent", "uninstallString", "version"}));
    EXPECT_EQ(app[QStringLiteral("version")].toString(), QStringLiteral("2.1"));
    EXPECT_EQ(app[QStringLiteral("installDate")].toString(), QStringLiteral("20240131"));
    EXPECT_EQ(app[QStringLiteral("estimatedSize")].toDouble(), 2048);
    EXPECT_EQ(app[QStringLiteral("systemComponent")], QJsonValue(false));
    EXPECT_EQ(list[1].toObject()[QStringLiteral("estimatedSize")].toDouble(), 0);
}

TEST_F(InstalledPrograms, ReadsValueTextsWithinTheirBuffers) {
    environment().set("PELLANOR_TEST_FOLDER", "D:\\Tools");
    const std::string path = kUninstall + "values";
    put(kMachine, path, "Expand", reg::ValueType::ExpandString,
        reg::stringData("%PELLANOR_TEST_FOLDER%\\x.exe"), k64);
    putDword(kMachine, path, "Big", 0xfffffffeu, k64);
    put(kMachine, path, "Wide", reg::ValueType::Qword, reg::qwordData(1), k64);
    putText(kMachine, path, "Fits", std::string(1023, 'f'), k64);
    putText(kMachine, path, "Over", std::string(1024, 'o'), k64);

    const reg::Key key = reg::openKey(kMachine, path, k64, reg::Access::Read);
    const struct {
        const char* name;
        QString text;
    } cases[] = {
        {"expand", QStringLiteral("D:\\Tools\\x.exe")},
        {"Big", QStringLiteral("4294967294")},
        {"Wide", QString()},
        {"Fits", QString(1023, QLatin1Char('f'))},
        {"Over", QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readRegistryText(key, QLatin1String(c.name)), c.text);
    }
}

TEST(InstalledProgramTexts, CleanIconPathsAndProductCodes) {
    const struct {
        const char* text;
        const char* path;
    } icons[] = {
        {"\"C:\\x\\a.exe\",0", "C:\\x\\a.exe"}, {"\"C:\\x\\a.exe,0\"", "C:\\x\\a.exe"},
        {"C:\\x\\a.exe, -101", "C:\\x\\a.exe"}, {"C:/x/a.ico", "C:\\x\\a.ico"},
        {"C:\\x\\a,b.exe", "C:\\x\\a,b.exe"},   {",0", ",0"},
    };
    for (const auto& c : icons) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(cleanIconPath(QString::fromUtf8(c.text)), QString::fromUtf8(c.path));
    }
    EXPECT_EQ(extractProductCode(QStringLiteral("MsiExec.exe /X") + kCode.toLower() + " /qn"),
              kCode.toLower());
    EXPECT_EQ(extractProductCode(QStringLiteral("MsiExec.exe /X{0A1B2C3D-4E5F}")), QString());
}

TEST_F(InstalledPrograms, FindsTheIconFileFirstFromDisplayIconThenInstallerThenFolder) {
    const QString tool = QStringLiteral("C:\\Program Files\\Tool\\");
    ASSERT_TRUE(placeOnC(tool + "tool.exe"));
    ASSERT_TRUE(placeOnC(tool + "b.exe"));
    ASSERT_TRUE(placeOnC(tool + "a.EXE"));
    ASSERT_TRUE(placeOnC(tool + "aa.dll"));
    const QString cache = QStringLiteral("C:\\Windows\\Installer\\") + kCode + "\\";
    ASSERT_TRUE(placeOnC(cache + "ARPPRODUCTICON.exe"));
    const QString msi = QStringLiteral("MsiExec.exe /X") + kCode;

    EXPECT_EQ(resolveProgramIcon("\"" + tool + "tool.exe\",0", msi, tool, true), tool + "tool.exe");
    EXPECT_EQ(resolveProgramIcon(tool + "gone.exe", msi, tool, false),
              cache + "ARPPRODUCTICON.exe");
    ASSERT_TRUE(placeOnC(cache + "icon.ico"));
    EXPECT_EQ(resolveProgramIcon(QString(), msi, tool, false), cache + "icon.ico");
    // Without the installer's mark the cache is not looked at; the folder's first program is.
    EXPECT_EQ(
        resolveProgramIcon(QString(), QStringLiteral("un.exe ") + kCode, tool + "\\\\", false),
        QFileInfo(onC(tool + "a.EXE")).absoluteFilePath());
    EXPECT_EQ(resolveProgramIcon(QString(), QString(), QStringLiteral("C:\\Nowhere"), false),
              QString());
}

TEST(InstalledProgramUninstall, SplitsTheCommandAtItsQuotesOrFirstBlank) {
    const struct {
        const char* command;
        const char* exe;
        const char* params;
    } cases[] = {
        {"\"C:\\Program Files\\App\\un.exe\"  /S /x", "C:\\Program Files\\App\\un.exe", "/S /x"},
        {"C:\\Program Files\\App\\un.exe /S", "C:\\Program", "Files\\App\\un.exe /S"},
        {"MsiExec.exe /X{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", "MsiExec.exe",
         "/X{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}"},
        {"\"C:\\un.exe", "\"C:\\un.exe", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const UninstallCommand split = splitUninstallCommand(QString::fromUtf8(c.command));
        EXPECT_EQ(split.exe, QString::fromUtf8(c.exe));
        EXPECT_EQ(split.params, QString::fromUtf8(c.params));
    }
}

TEST(InstalledProgramUninstall, StartsTheUninstallerWithItsParameters) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString report = folder.filePath(QStringLiteral("report.txt"));
    const QString script = folder.filePath(QStringLiteral("un install.sh"));
    ASSERT_TRUE(
        writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" " +
                              report.toUtf8() + "\n"));
    ASSERT_TRUE(QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner));
    LogCapture log;

    EXPECT_FALSE(uninstallProgram(QStringLiteral("   ")));
    EXPECT_FALSE(uninstallProgram(folder.filePath(QStringLiteral("missing.exe"))));
    ASSERT_TRUE(uninstallProgram(" \"" + script + "\" /S \"two words\" "));

    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(report) && waited.elapsed() < 10000) QThread::msleep(20);
    EXPECT_EQ(readFile(report), QByteArray("/S\ntwo words\n"));
    EXPECT_TRUE(log.contains("NativeUtil", QStringLiteral("uninstall command is empty")));
    EXPECT_TRUE(log.contains("NativeUtil",
                             "uninstall program. exe=" + script + " params=/S \"two words\""));
}

}  // namespace
}  // namespace pellanor::system
