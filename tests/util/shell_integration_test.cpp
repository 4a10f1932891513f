#include "util/shell_integration.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

#include "platform/executable.h"
#include "platform/shortcuts.h"
#include "tests/platform/scoped_environment.h"
#include "tests/util/file_test_support.h"
#include "tests/util/log_capture.h"

namespace pellanor::util {
namespace {

using test_support::LogCapture;
using test_support::readFile;
using test_support::ScopedEnvironment;
using test_support::writeFile;

// No desktop session: what needs one must give its failure value.
void leaveTheDesktop(ScopedEnvironment* env) {
    env->unset("DISPLAY");
    env->unset("WAYLAND_DISPLAY");
}

TEST(LaunchCommandLine, QuotesPiecesWithABlankAndDropsEmptyOnes) {
    const QString exe = QStringLiteral("C:\\Program Files\\App\\setup.exe");

    EXPECT_EQ(launchCommandLine(exe, launchArguments(QStringLiteral("/S,/D=C:\\My Apps"))),
              QStringLiteral("\"C:\\Program Files\\App\\setup.exe\" /S \"/D=C:\\My Apps\""));
    EXPECT_EQ(launchArguments(QStringLiteral(",/a,,/b,")),
              QStringList({QStringLiteral("/a"), QStringLiteral("/b")}));
    // Not trimmed, and inner quotes are passed as they are.
    EXPECT_EQ(launchCommandLine(QStringLiteral("app.exe"),
                                launchArguments(QStringLiteral(" /x,say \"hi\""))),
              QStringLiteral("app.exe \" /x\" \"say \"hi\"\""));
    EXPECT_EQ(launchCommandLine(QStringLiteral("app.exe"), {}), QStringLiteral("app.exe"));
}

TEST(Launch, StartsTheProgramInTheGivenFolderAndLogsEachStep) {
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString child = QDir::cleanPath(
        QFileInfo(QString::fromStdString(platform::executablePath())).absolutePath() +
        QStringLiteral("/../platform/shell_child"));
    LogCapture log;

    ASSERT_TRUE(launch(child, work.path(), QStringLiteral("one,,two words")));
    for (int waited = 0; waited < 600 && !QFile::exists(work.filePath("launched.txt")); ++waited) {
        QThread::msleep(50);
    }
    EXPECT_EQ(readFile(work.filePath("launched.txt")),
              QDir(work.path()).canonicalPath().toUtf8() + "\none\ntwo words\n");
    EXPECT_EQ(
        log.lines(),
        QStringList(
            {LogCapture::tagged("NativeUtil", QStringLiteral("try to launch: %1, work dir: %2, "
                                                             "command: one,,two words")
                                                  .arg(child, work.path())),
             LogCapture::tagged("NativeUtil",
                                QStringLiteral("command line: %1 one \"two words\"").arg(child)),
             LogCapture::tagged("NativeUtil", QStringLiteral("launch result: true"))}));
}

TEST(Launch, ReportsTheErrorOfAProgramThatCannotStart) {
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    LogCapture log;

    EXPECT_FALSE(launch(work.filePath("missing"), QString(), QString()));
    EXPECT_TRUE(log.contains("NativeUtil", QStringLiteral("CreateProcess failed, error: 2")));
    EXPECT_TRUE(log.contains("NativeUtil", QStringLiteral("launch result: false")));
}

TEST(OpenFolderAndUrl, GiveFalseWithoutADesktopAndNameTheFolderOfAFile) {
    QTemporaryDir root;
    ASSERT_TRUE(writeFile(root.filePath("sub/file.txt"), "x"));
    ScopedEnvironment env;
    leaveTheDesktop(&env);
    LogCapture log;

    EXPECT_FALSE(openUrl(QString()));
    EXPECT_TRUE(log.lines().isEmpty());

    EXPECT_FALSE(openFolder(root.filePath("sub/file.txt")));
    EXPECT_FALSE(openFolder(root.filePath("sub/missing.txt")));
    EXPECT_FALSE(openFolder(root.filePath("sub")));
    EXPECT_FALSE(openUrl(QStringLiteral("https://example.org/")));
    const QString folder = QDir::toNativeSeparators(root.filePath("sub"));
    const QString line = LogCapture::tagged(
        "NativeUtil", QStringLiteral("open folder %1 result: false").arg(folder));
    EXPECT_EQ(log.lines(),
              QStringList(
                  {line, line, line,
                   LogCapture::tagged("NativeUtil", QStringLiteral("open url https://example.org/ "
                                                                   "result: false"))}));
}

class DesktopShortcut : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid() && m_outside.isValid());
        m_env.set("HOME", m_home.path().toStdString());
        m_env.set("XDG_CONFIG_HOME", m_home.filePath("config").toStdString());
        ASSERT_TRUE(writeFile(m_home.filePath("config/user-dirs.dirs"),
                              "XDG_DESKTOP_DIR=\"$HOME/Desk top\"\n"));
        ASSERT_TRUE(QDir().mkpath(desktop()));
        ASSERT_TRUE(writeFile(m_outside.filePath("sentinel.lnk.desktop"), "keep"));
        ASSERT_TRUE(writeFile(m_outside.filePath("sentinel.txt"), "keep"));
    }
    void TearDown() override {
        EXPECT_EQ(readFile(m_outside.filePath("sentinel.lnk.desktop")), "keep");
        EXPECT_EQ(readFile(m_outside.filePath("sentinel.txt")), "keep");
    }
    QString desktop() const { return m_home.filePath("Desk top"); }

    QTemporaryDir m_home;
    QTemporaryDir m_outside;
    ScopedEnvironment m_env;
    LogCapture m_log;
};

TEST_F(DesktopShortcut, StartsTheExecutableInItsFolderWithItsIconWhenNoneIsGiven) {
    const QString exe = QStringLiteral("/opt/Pellanor App/Pellanor");

    ASSERT_TRUE(createDesktopShortcut(QStringLiteral("Pellanor"), exe, QStringLiteral("--tray"),
                                      QString()));
    const QString lnkPath = desktop() + QStringLiteral("\\Pellanor.lnk");
    const auto link = platform::readShellLink(lnkPath.toStdString());
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(link->target, exe.toStdString());
    EXPECT_EQ(link->arguments, "--tray");
    EXPECT_EQ(link->workDir, "/opt/Pellanor App");
    EXPECT_EQ(link->iconPath, exe.toStdString());

    const QStringList expected = {
        LogCapture::tagged("SysUtil", QStringLiteral("CreateDesktopShortcut. appName=Pellanor "
                                                     "exePath=%1 cmdLine=--tray appIcon=")
                                          .arg(exe)),
        LogCapture::tagged("SysUtil", QStringLiteral("SHGetFolderPathW result=0")),
        LogCapture::tagged("SysUtil", QStringLiteral("lnkPath=%1").arg(lnkPath)),
        LogCapture::tagged("SysUtil", QStringLiteral("CreateLinkFile. szStartAppPath=%1 "
                                                     "szAddCmdLine=--tray szDestLnkPath=%2 "
                                                     "szIconPath=")
                                          .arg(exe, lnkPath)),
        LogCapture::tagged("SysUtil", QStringLiteral("work dir=/opt/Pellanor App")),
    };
    EXPECT_EQ(m_log.lines(), expected);
}

TEST_F(DesktopShortcut, ReplacesAnExistingOneAndKeepsAGivenIcon) {
    ASSERT_TRUE(writeFile(desktop() + QStringLiteral("/App.desktop"), "old"));

    ASSERT_TRUE(createDesktopShortcut(QStringLiteral("App"), QStringLiteral("C:\\Apps\\app.exe"),
                                      QString(), QStringLiteral("C:\\Apps\\app.ico")));
    const auto link =
        platform::readShellLink((desktop() + QStringLiteral("/App.lnk")).toStdString());
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(link->workDir, "C:\\Apps");
    EXPECT_EQ(link->iconPath, "C:\\Apps\\app.ico");
}

// The name becomes a file name on the desktop; it must not reach a file outside it.
TEST_F(DesktopShortcut, RefusesANameThatLeavesTheDesktop) {
    const QString escape = QDir(desktop()).relativeFilePath(m_outside.filePath("sentinel.lnk"));

    EXPECT_FALSE(createDesktopShortcut(escape, QStringLiteral("/bin/true"), QString(), QString()));
    EXPECT_FALSE(createDesktopShortcut(QStringLiteral("..\\sentinel"), QStringLiteral("/bin/true"),
                                       QString(), QString()));
    EXPECT_FALSE(QFile::exists(m_home.filePath("sentinel.desktop")));
}

TEST_F(DesktopShortcut, DesktopPathIsLoggedByEachRoute) {
    EXPECT_EQ(getDesktopPath(), desktop());
    EXPECT_EQ(
        m_log.lines(),
        QStringList(
            {LogCapture::tagged("SysUtil", QStringLiteral("SHGetSpecialFolderLocation result=0")),
             LogCapture::tagged("SysUtil", QStringLiteral("SHGetPathFromIDList result=1")),
             LogCapture::tagged("SysUtil", QStringLiteral("GetDesktopPath=%1").arg(desktop()))}));
}

TEST(WellKnownPaths, FollowTheEnvironmentAndTheExecutable) {
    ScopedEnvironment env;
    env.set("PROGRAMFILES", "C:\\Program Files (x86)");
    EXPECT_EQ(programsPath(), QStringLiteral("C:\\Program Files (x86)"));

    const QString exe = QString::fromStdString(platform::executablePath());
    const QString folder = processFolder();
    EXPECT_EQ(folder + QStringLiteral("/util_tests"), exe);
}

}  // namespace
}  // namespace pellanor::util
