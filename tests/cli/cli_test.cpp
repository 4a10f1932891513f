// pellanor-cli as users and benchmarks drive it: results as JSON, reports as JSON lines ending
// with the final one, and the same argument rules as pages. Every run gets a private home, so
// nothing it measures or cleans is the real user's.
#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "bridge/native_util.h"
#include "tests/util/file_test_support.h"

namespace {

using pellanor::test_support::readFile;
using pellanor::test_support::writeFile;

struct CliRun {
    int exitCode = -1;
    QStringList lines;
    QString errors;
};

class Cli : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_home.isValid()); }

    QString home(const QString& relative = {}) const {
        return relative.isEmpty() ? m_home.path() : m_home.filePath(relative);
    }

    CliRun cli(const QStringList& arguments) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("HOME"), home());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home(QStringLiteral("data")));
        environment.insert(QStringLiteral("APPDATA"), home(QStringLiteral("roaming")));
        environment.insert(QStringLiteral("LOCALAPPDATA"), home(QStringLiteral("local")));
        environment.insert(QStringLiteral("TEMP"), home(QStringLiteral("temp")));
        environment.insert(QStringLiteral("TMP"), home(QStringLiteral("temp")));
        environment.insert(QStringLiteral("PELLANOR_REGISTRY_DIR"),
                           home(QStringLiteral("registry")));
        // Named objects (the main-window-ready event) in a folder of the run's own.
        QDir().mkpath(home(QStringLiteral("objects")));
        QFile::setPermissions(home(QStringLiteral("objects")), QFileDevice::ReadOwner |
                                                                   QFileDevice::WriteOwner |
                                                                   QFileDevice::ExeOwner);
        environment.insert(QStringLiteral("PELLANOR_OBJECTS_DIR"), home(QStringLiteral("objects")));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(PELLANOR_CLI), arguments);
        CliRun run;
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
        run.lines.removeAll(QString());
        run.errors = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    static QJsonObject object(const QString& line) {
        return QJsonDocument::fromJson(line.toUtf8()).object();
    }

private:
    QTemporaryDir m_home;
};

TEST_F(Cli, ListsTheMemberTableInOrder) {
    const CliRun run = cli({QStringLiteral("--list")});
    ASSERT_EQ(run.exitCode, 0);
    const auto& members = pellanor::bridge::nativeUtilClass().members();
    ASSERT_EQ(run.lines.size(), static_cast<int>(members.size()));
    EXPECT_EQ(run.lines.first(), QStringLiteral("log\tmethod\t2"));
    EXPECT_TRUE(run.lines.contains(QStringLiteral("startScanLargeFiles\tmethod\t3")));
}

TEST_F(Cli, PrintsResultsAsJsonAndReadsArgumentsAsPagesDo) {
    EXPECT_EQ(cli({QStringLiteral("toBase64Str"), QStringLiteral("hello?>")}).lines,
              QStringList{QStringLiteral("\"aGVsbG8_Pg==\"")});
    // A JSON number for a text parameter is its text; quoted or bare, the same word.
    EXPECT_EQ(cli({QStringLiteral("toBase64Str"), QStringLiteral("123")}).lines,
              cli({QStringLiteral("toBase64Str"), QStringLiteral("\"123\"")}).lines);
    EXPECT_EQ(cli({QStringLiteral("log"), QStringLiteral("hello"), QStringLiteral("Page")}).lines,
              QStringList{QStringLiteral("0")});

    const QString nested = home(QStringLiteral("a/b/c"));
    EXPECT_EQ(cli({QStringLiteral("mkdir"), nested}).lines, QStringList{QStringLiteral("true")});
    EXPECT_TRUE(QDir(nested).exists());
    ASSERT_TRUE(writeFile(home(QStringLiteral("a/file.txt")), "abc"));
    EXPECT_EQ(cli({QStringLiteral("getFileSha256"), home(QStringLiteral("a/file.txt"))}).lines,
              QStringList{QStringLiteral(
                  "\"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\"")});
    // Copy never makes the destination's folder; move does.
    EXPECT_EQ(cli({QStringLiteral("copyFile"), home(QStringLiteral("a/file.txt")),
                   home(QStringLiteral("x/y.txt")), QStringLiteral("false")})
                  .lines,
              QStringList{QStringLiteral("false")});
    EXPECT_EQ(cli({QStringLiteral("moveFile"), home(QStringLiteral("a/file.txt")),
                   home(QStringLiteral("x/y.txt")), QStringLiteral("false")})
                  .lines,
              QStringList{QStringLiteral("true")});
}

TEST_F(Cli, SuppliesTheCallbackAndPrintsReportsUntilTheFinalOne) {
    ASSERT_TRUE(writeFile(home(QStringLiteral("scan/big.bin")), QByteArray(4096, 'x')));
    ASSERT_TRUE(writeFile(home(QStringLiteral("scan/small.bin")), QByteArray(10, 'x')));
    const CliRun run = cli({QStringLiteral("startScanLargeFiles"), home(QStringLiteral("scan")),
                            QStringLiteral("1000")});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_GE(run.lines.size(), 2);
    const int id = run.lines.first().toInt();
    EXPECT_GE(id, 1);
    for (int i = 1; i < run.lines.size(); ++i) {
        EXPECT_EQ(object(run.lines[i])[QStringLiteral("id")].toInt(), id)
            << run.lines[i].toStdString();
    }
    const QJsonObject last = object(run.lines.last());
    EXPECT_EQ(last[QStringLiteral("type")].toString(), QStringLiteral("done"));
    const QString data = last[QStringLiteral("data")].toString();
    EXPECT_TRUE(data.contains(QStringLiteral("big.bin")));
    EXPECT_FALSE(data.contains(QStringLiteral("small.bin")));
}

// The incremental row goes through the same table: its final report carries the counts.
TEST_F(Cli, RunsTheIncrementalLargeFileScanToItsFinalReport) {
    ASSERT_TRUE(writeFile(home(QStringLiteral("scan/big.bin")), QByteArray(4096, 'x')));
    const CliRun run = cli({QStringLiteral("startScanLargeFilesIncremental"),
                            home(QStringLiteral("scan")), QStringLiteral("1000")});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    ASSERT_GE(run.lines.size(), 2);
    const QJsonObject last = object(run.lines.last());
    EXPECT_EQ(last[QStringLiteral("type")].toString(), QStringLiteral("done"));
    const QJsonObject data = object(last[QStringLiteral("data")].toString());
    EXPECT_EQ(data[QStringLiteral("count")].toInt(), 1);
    EXPECT_EQ(data[QStringLiteral("bytes")].toInt(), 4096);
}

TEST_F(Cli, CleaningWithTypesThatAreNotAnArrayTouchesNothing) {
    const QString sentinel = home(QStringLiteral("temp/keep.txt"));
    ASSERT_TRUE(writeFile(sentinel, "keep"));
    const CliRun run =
        cli({QStringLiteral("cleanPrivacyItemsAsync"), QStringLiteral("{\"3\":true}")});
    ASSERT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.lines.size(), 2);
    EXPECT_EQ(run.lines[0], QStringLiteral("1"));
    EXPECT_EQ(object(run.lines[1])[QStringLiteral("type")].toString(), QStringLiteral("done"));
    EXPECT_EQ(readFile(sentinel), QByteArray("keep"));
}

TEST_F(Cli, RemovingAFolderNeverFollowsALinkOutOfIt) {
    const QString sentinel = home(QStringLiteral("outside/keep.txt"));
    ASSERT_TRUE(writeFile(sentinel, "keep"));
    ASSERT_TRUE(writeFile(home(QStringLiteral("doomed/inner/file.txt")), "x"));
    ASSERT_TRUE(
        QFile::link(home(QStringLiteral("outside")), home(QStringLiteral("doomed/inner/link"))));
    EXPECT_EQ(cli({QStringLiteral("removeDir"), home(QStringLiteral("doomed"))}).lines,
              QStringList{QStringLiteral("true")});
    EXPECT_FALSE(QDir(home(QStringLiteral("doomed"))).exists());
    EXPECT_EQ(readFile(sentinel), QByteArray("keep"));
}

TEST_F(Cli, MethodsThatNeedADesktopGiveTheirFailureValuesHeadless) {
    EXPECT_EQ(cli({QStringLiteral("copyToClipboard"), QStringLiteral("text")}).lines,
              QStringList{QStringLiteral("false")});
    EXPECT_EQ(cli({QStringLiteral("selectFolder"), QStringLiteral("Pick"), home()}).lines,
              QStringList{QStringLiteral("\"\"")});
}

// Each run is a fresh process, so every step below reads what the last one stored.
TEST_F(Cli, RegistryValuesAndStartupItemsRoundTrip) {
    const auto call = [this](const QStringList& arguments) {
        return cli(arguments).lines.join("");
    };
    const QString run = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const QString app = "HKCU\\Software\\Pellanor";
    EXPECT_EQ(call({"setRegistryString", run, "tool", "t.exe /min"}), "true");
    // An integer parameter given text takes 0, as in a page.
    EXPECT_EQ(call({"setRegistryIntValue", app, "window/width", "\"wide\""}), "true");
    EXPECT_EQ(call({"getRegistryString", app, "window/width"}), "\"0\"");

    // The result is one JSON string holding the page's JSON text.
    const QString listed = QJsonDocument::fromJson("[" + call({"getStartupItems"}).toUtf8() + "]")
                               .array()[0]
                               .toString();
    const QJsonObject item =
        QJsonDocument::fromJson(listed.toUtf8()).object()["list"].toArray()[0].toObject();
    EXPECT_EQ(item["command"].toString(), "t.exe /min");
    EXPECT_EQ(item["location"].toString(), run);

    EXPECT_EQ(call({"removeStartupItem", "registry", run, "tool"}), "true");
    EXPECT_EQ(call({"getRegistryString", run, "tool"}), "\"\"");
    EXPECT_EQ(call({"removeRegistryKey", "HKEY_CURRENT_USER/Software/Pellanor"}), "true");
    EXPECT_EQ(call({"removeRegistryKey", app}), "false");
}

// A FIFO never gets a writer: a store that waited on it would hang every start.
TEST_F(Cli, SettingsInAFifoAnswerAtOnceAndACutChangeIsLogged) {
    const QString hive = home(QStringLiteral("registry/HKEY_CURRENT_USER.reg"));
    ASSERT_TRUE(QDir().mkpath(home(QStringLiteral("registry"))));
    ASSERT_EQ(mkfifo(QFile::encodeName(hive).constData(), 0600), 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(
        cli({QStringLiteral("getSetting"), QStringLiteral("theme"), QStringLiteral("dark")}).lines,
        QStringList{QStringLiteral("\"dark\"")});
    EXPECT_EQ(
        cli({QStringLiteral("setSetting"), QStringLiteral("theme"), QStringLiteral("x")}).lines,
        QStringList{QStringLiteral("false")});
    EXPECT_LT(timer.elapsed(), 20000);

    // What a crash in the middle of our own append leaves: the change before it stays.
    ASSERT_TRUE(QFile::remove(hive));
    const QString text = QStringLiteral(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Pellanor\\Settings]\r\n\"theme\"=\"blue\"\r\n\r\n"
        ";Pellanor change\r\n[HKEY_CURRENT_USER\\Software\\Pellanor\\Settings]\r\n\"theme\"=\"gr");
    writeFile(hive, QByteArray("\xFF\xFE") +
                        QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
    EXPECT_EQ(
        cli({QStringLiteral("getSetting"), QStringLiteral("theme"), QStringLiteral("dark")}).lines,
        QStringList{QStringLiteral("\"blue\"")});
    const QString log = QString::fromUtf8(
        readFile(home(QStringLiteral("roaming/Pellanor/logs")) + QStringLiteral("/Pellanor-") +
                 QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(".log")));
    EXPECT_TRUE(log.contains(QStringLiteral("dropped an incomplete change at the end of ") + hive))
        << log.toStdString();
}

TEST_F(Cli, RefusesUnknownNamesAndSaysWhenArgumentsAreLeftOver) {
    const CliRun unknown = cli({QStringLiteral("noSuchMethod")});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.errors.contains(QStringLiteral("noSuchMethod")));
    const CliRun extra = cli({QStringLiteral("getTempPath"), QStringLiteral("surplus")});
    EXPECT_EQ(extra.exitCode, 0);
    EXPECT_TRUE(extra.errors.contains(QStringLiteral("ignored")));
    EXPECT_EQ(cli({}).exitCode, 2);
}

TEST_F(Cli, ShellMethodsAnswerWithoutAWindowAndTheReadyEventOutlivesNothing) {
    // What needs the main window or a display gives its failure value, and returns at once.
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{QStringLiteral("setTrayIcon")}, QStringLiteral("false")},
        {{QStringLiteral("exitApp")}, QStringLiteral("null")},
        {{QStringLiteral("setTimeoutOnce"), QStringLiteral("10")}, QStringLiteral("0")},
        {{QStringLiteral("enableMenuOutsideClickClose"), QStringLiteral("1"), QStringLiteral("2"),
          QStringLiteral("3"), QStringLiteral("4")},
         QStringLiteral("false")},
        {{QStringLiteral("disableMenuOutsideClickClose")}, QStringLiteral("true")},
        {{QStringLiteral("getMonitorCount")}, QStringLiteral("0")},
        {{QStringLiteral("setMinimizeOnClose"), QStringLiteral("false")}, QStringLiteral("true")},
        {{QStringLiteral("mainWindowPath")}, QStringLiteral("\"this://app/main/main.html\"")},
        {{QStringLiteral("canMainWindowTopmost")}, QStringLiteral("true")},
        {{QStringLiteral("isDebug")}, QStringLiteral("false")},
    };
    for (const auto& [arguments, expected] : cases) {
        EXPECT_EQ(cli(arguments).lines, QStringList{expected}) << arguments.join(' ').toStdString();
    }
    const QString log = QString::fromUtf8(
        readFile(home(QStringLiteral("roaming/Pellanor/logs")) + QStringLiteral("/Pellanor-") +
                 QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(".log")));
    EXPECT_TRUE(log.contains(QStringLiteral("exitApp: no main window")));
    EXPECT_TRUE(log.contains(QStringLiteral("setTimeoutOnce: no main window")));
    EXPECT_TRUE(log.contains(QStringLiteral("failed to install menu mouse hook. err: 21")));

    // The event lives as long as a process holds it: a CLI that set it and ended takes it along.
    EXPECT_EQ(cli({QStringLiteral("signalMainWindowReady")}).lines,
              QStringList{QStringLiteral("true")});
    EXPECT_EQ(cli({QStringLiteral("isMainWindowReady")}).lines,
              QStringList{QStringLiteral("false")});
}

}  // namespace
