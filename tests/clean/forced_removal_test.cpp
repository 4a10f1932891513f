#include "clean/forced_removal.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "tests/clean/clean_test_support.h"

namespace pellanor {
namespace {

using test_support::exists;
using test_support::FakeProfile;
using test_support::LogCapture;
using test_support::writeFile;

// The script path that scheduleSelfDelete's log line names, empty without one.
QString scriptOf(const LogCapture& log) {
    for (const std::string& message : log.messages()) {
        const auto at = message.find(" script ");
        const auto end = message.rfind(" result: ");
        if (message.rfind("schedule self delete for pid ", 0) == 0 && at != std::string::npos &&
            end != std::string::npos && end > at) {
            return QString::fromStdString(message.substr(at + 8, end - at - 8));
        }
    }
    return {};
}

TEST(RemoveFile, RemovesAFileButRefusesAFolder) {
    FakeProfile profile;
    writeFile(profile.temp("a.txt"), 1);
    QDir().mkpath(profile.temp("folder"));
    LogCapture log;

    EXPECT_TRUE(removeFile(profile.temp("a.txt")));
    EXPECT_FALSE(exists(profile.temp("a.txt")));
    EXPECT_FALSE(removeFile(profile.temp("folder")));
    EXPECT_TRUE(exists(profile.temp("folder")));
    EXPECT_FALSE(removeFile(profile.temp("missing")));
    EXPECT_TRUE(
        log.contains("remove file " + profile.temp("a.txt").toStdString() + " result: true"));
    EXPECT_TRUE(
        log.contains("remove file " + profile.temp("folder").toStdString() + " result: false"));
}

TEST(RemoveDir, RemovesAFolderButNotWhatItsLinksPointAt) {
    FakeProfile profile;
    const QString sentinel = profile.makeSentinel();
    writeFile(profile.temp("victim/.hidden/x"), 1);
    QFile::link(sentinel, profile.temp("victim/link"));
    LogCapture log;

    EXPECT_TRUE(removeDir(profile.temp("victim")));
    EXPECT_FALSE(exists(profile.temp("victim")));
    EXPECT_TRUE(exists(sentinel + "/keep.txt"));
    EXPECT_TRUE(removeDir(profile.temp("never-existed")));
    EXPECT_FALSE(removeDir(""));
    EXPECT_TRUE(
        log.contains("remove dir " + profile.temp("victim").toStdString() + " result: true"));
}

TEST(RemoveDir, RemovesALinkGivenAsTheFolderItselfNotItsTarget) {
    FakeProfile profile;
    const QString sentinel = profile.makeSentinel();
    QFile::link(sentinel, profile.temp("link"));
    QFile::link(sentinel, profile.temp("slashed"));
    EXPECT_TRUE(removeDir(profile.temp("link")));
    EXPECT_TRUE(removeDir(profile.temp("slashed") + "/"));
    EXPECT_FALSE(exists(profile.temp("link")));
    EXPECT_FALSE(exists(profile.temp("slashed")));
    EXPECT_TRUE(exists(sentinel + "/keep.txt"));
}

TEST(RemoveDir, EscalatesToTheCommandLineToolsWhenOrdinaryRemovalFails) {
    FakeProfile profile;
    writeFile(profile.temp("stuck folder/file"), 1);
    const test_support::ImmutableFile locked(profile.temp("stuck folder/file"));
    if (!locked.ok()) GTEST_SKIP() << "this host cannot make a file undeletable";
    test_support::FakeTools tools;
    tools.add("cmd.exe", 0);
    LogCapture log;

    // The fake rd does nothing but exit 0, which is what the result trusts. cmd.exe hands each
    // command to the tool as written, so the fake sees the words the tool would: the quoted
    // folder stays one word, and a trailing separator must not escape its closing quote.
    const QString path = profile.temp("stuck folder");
    EXPECT_TRUE(removeDir(path + "/"));
    EXPECT_EQ(tools.runs("cmd.exe"),
              (QStringList{"[/c][takeown][/F][" + path + "][/A][/R][/D][Y]",
                           "[/c][icacls][" + path + "][/grant][Administrators:F][/T]",
                           "[/c][rd][/s][/q][" + path + "]"}));
    EXPECT_TRUE(log.contains("remove dir " + path.toStdString() + "/ result: false"));
    EXPECT_TRUE(log.contains("force remove dir " + path.toStdString() + "/ result: true"));
}

TEST(ShellForceDelete, FailsWithoutTheToolsAndSucceedsForAMissingFolder) {
    FakeProfile profile;
    test_support::ScopedEnvironment env;
    env.set("PATH", profile.outside().toStdString());
    QDir().mkpath(profile.temp("x"));
    EXPECT_FALSE(shellForceDelete(profile.temp("x")));
    EXPECT_TRUE(shellForceDelete(profile.temp("missing")));
    EXPECT_FALSE(shellForceDelete(""));
}

TEST(IsPreviousWindowsFolder, AcceptsOnlyDriveCInAnySpelling) {
    FakeProfile profile;
    for (const char* path : {"c:\\windows.old", "C:/Windows.old/", "C:\\WINDOWS.OLD\\",
                             "c:/windows.old", "C:\\Windows.old\\."}) {
        EXPECT_TRUE(isPreviousWindowsFolder(path)) << path;
    }
    for (const char* path :
         {"D:\\Windows.old", "C:\\Windows.old2", "C:\\Windows\\old", "C:\\Windows.old\\sub"}) {
        EXPECT_FALSE(isPreviousWindowsFolder(path)) << path;
    }
}

TEST(RemoveDir, TakesThePreviousWindowsSequenceForDriveC) {
    FakeProfile profile;
    const QString sentinel = profile.makeSentinel();
    writeFile(profile.driveC("Windows.old/Windows/System32/a.dll"), 1);
    QFile::link(sentinel, profile.driveC("Windows.old/Users"));
    LogCapture log;

    EXPECT_TRUE(removeDir("C:\\Windows.old\\."));
    EXPECT_FALSE(exists(profile.driveC("Windows.old")));
    EXPECT_TRUE(exists(sentinel + "/keep.txt"));
    const std::vector<std::string> expected{
        "try remove Windows.Old by Volume Cache COM", "Volume Cache COM result: false",
        "try remove Windows.Old by native force delete", "native force delete result: true"};
    EXPECT_EQ(log.messages(), expected);
}

TEST(RemoveDir, ReportsAPreviousWindowsFolderThatStaysAsFailure) {
    FakeProfile profile;
    writeFile(profile.driveC("Windows.old/locked"), 1);
    const test_support::ImmutableFile locked(profile.driveC("Windows.old/locked"));
    if (!locked.ok()) GTEST_SKIP() << "this host cannot make a file undeletable";
    test_support::FakeTools tools;
    tools.add("cmd.exe", 1);
    LogCapture log;

    EXPECT_FALSE(removeDir("C:\\Windows.old"));
    EXPECT_TRUE(exists(profile.driveC("Windows.old/locked")));
    EXPECT_EQ(tools.runs("cmd.exe").size(), 3);
    // This system has no deletion at restart, so nothing may claim it was scheduled.
    EXPECT_FALSE(log.contains("scheduled Windows.Old for reboot delete"));
    EXPECT_TRUE(log.contains("delete at restart is not available for C:\\Windows.old"));
    EXPECT_TRUE(log.contains("native force delete result: false"));
}

TEST(RemoveDir, TakesTheOrdinaryPathForWindowsOldOnAnotherDrive) {
    FakeProfile profile;
    test_support::ScopedEnvironment env;
    env.set("PELLANOR_DRIVES", ("C=" + profile.driveC() + ";D=" + profile.outside()).toStdString());
    writeFile(profile.outside("Windows.old/x"), 1);
    LogCapture log;
    EXPECT_TRUE(removeDir("D:\\Windows.old"));
    EXPECT_FALSE(exists(profile.outside("Windows.old")));
    EXPECT_TRUE(log.contains("remove dir D:\\Windows.old result: true"));
}

TEST(RemoveDir, RefusesAWholeDrive) {
    FakeProfile profile;
    test_support::ScopedEnvironment env;
    env.set("PELLANOR_DRIVES", ("C=" + profile.driveC() + ";D=" + profile.outside()).toStdString());
    env.set("TMPDIR", profile.temp().toStdString());
    const QString sentinel = profile.makeSentinel();
    LogCapture log;

    // "d:" is drive-relative and refused as such: see folder_guard_test.cpp.
    for (const char* drive : {"D:\\", "D:/.", "C:\\", "d:/Windows/.."}) {
        EXPECT_FALSE(removeDir(drive)) << drive;
        EXPECT_TRUE(log.contains(std::string("remove dir ") + drive + " refused: a drive root"));
        EXPECT_FALSE(scheduleSelfDelete(drive)) << drive;
    }
    EXPECT_TRUE(exists(sentinel + "/keep.txt"));
    EXPECT_TRUE(QDir(profile.temp()).isEmpty());
}

TEST(ScheduleSelfDelete, WritesAScriptThatWaitsForTheProcessThenRemovesTheFolder) {
    FakeProfile profile;
    test_support::ScopedEnvironment env;
    env.set("TMPDIR", profile.temp().toStdString());
    writeFile(profile.outside("Program Files/Pellanor/app.exe"), 1);
    const QString folder = profile.outside("Program Files/Pellanor");
    LogCapture log;

    EXPECT_FALSE(scheduleSelfDelete(""));
    ASSERT_TRUE(scheduleSelfDelete(folder));
    const QString script = scriptOf(log);
    ASSERT_TRUE(exists(script));
    // In a folder of its own, made fresh in the temporary folder (its mode: see the platform's
    // tests).
    const QFileInfo privateFolder(QFileInfo(script).absolutePath());
    EXPECT_EQ(QFileInfo(privateFolder.absolutePath()).canonicalFilePath(),
              QFileInfo(profile.temp()).canonicalFilePath());
    EXPECT_EQ(QFileInfo(script).fileName(),
              QString("pellanor_uninstall_%1.sh").arg(QCoreApplication::applicationPid()));
    EXPECT_TRUE(log.contains(QString("schedule self delete for pid %1 dir %2 script %3 result: ok")
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(folder, script)
                                 .toStdString()));
    // The started script waits for this test to end; a copy waiting for an ended process
    // shows the remaining steps at once.
    QFile original(script);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray pidLine = "PID=\"" + QByteArray::number(QCoreApplication::applicationPid());
    QByteArray text = original.readAll();
    ASSERT_TRUE(text.contains(pidLine + "\"\n"));
    text.replace(pidLine, "PID=\"999999999");
    // In a folder of its own, as the original: the script takes its folder with it.
    QDir().mkpath(profile.temp("copy"));
    const QString copy = profile.temp("copy/copy.sh");
    QFile copyFile(copy);
    ASSERT_TRUE(copyFile.open(QIODevice::WriteOnly));
    copyFile.write(text);
    copyFile.close();
    EXPECT_EQ(QProcess::execute("/bin/sh", {copy, "999999999", folder}), 0);
    EXPECT_FALSE(exists(folder));
    EXPECT_TRUE(exists(profile.outside("Program Files")));
    EXPECT_FALSE(exists(profile.temp("copy")));
    EXPECT_TRUE(exists(profile.temp()));
}

TEST(ScheduleSelfDelete, NeverWritesThroughALinkOrOverAFilePlantedAtTheScriptName) {
    FakeProfile profile;
    test_support::ScopedEnvironment env;
    env.set("TMPDIR", profile.temp().toStdString());
    const QString sentinel = profile.makeSentinel();
    writeFile(profile.outside("Program Files/Pellanor/app.exe"), 1);
    const QString planted =
        profile.temp(QString("pellanor_uninstall_%1.sh").arg(QCoreApplication::applicationPid()));
    const QString victim = sentinel + "/keep.txt";
    const QByteArray victimText = QByteArray(10, 'x');

    for (const bool asLink : {true, false}) {
        QFile::remove(planted);
        if (asLink) {
            ASSERT_TRUE(QFile::link(victim, planted));
        } else {
            writeFile(planted, 3);
        }
        LogCapture log;
        ASSERT_TRUE(scheduleSelfDelete(profile.outside("Program Files/Pellanor")));
        EXPECT_NE(scriptOf(log), planted);
        QFile kept(victim);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), victimText) << asLink;
        EXPECT_EQ(QFileInfo(planted).isSymLink(), asLink);
        if (!asLink) {
            EXPECT_EQ(QFileInfo(planted).size(), 3);
        }
    }
}

TEST(ScheduleSelfDelete, RefusesAFolderThatWouldBreakOutOfItsQuotes) {
    FakeProfile profile;
    test_support::ScopedEnvironment env;
    env.set("TMPDIR", profile.temp().toStdString());
    const QString sentinel = profile.makeSentinel();
    LogCapture log;

    for (const QString& folder :
         {sentinel + "\" & rd /s /q \"" + sentinel, profile.outside("%USERPROFILE%")}) {
        EXPECT_FALSE(scheduleSelfDelete(folder));
        EXPECT_TRUE(log.contains("schedule self delete refused for dir " + folder.toStdString() +
                                 ": quote or percent sign"));
    }
    EXPECT_TRUE(QDir(profile.temp()).isEmpty());
    EXPECT_TRUE(exists(sentinel + "/keep.txt"));
}

}  // namespace
}  // namespace pellanor
