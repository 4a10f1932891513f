// The program from the outside: how it ends when the engine is missing or of another version,
// what a second copy does, and the first copy showing the loading page. Each run gets a private
// home and named-object folder, so no copy meets the user's own.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/named_mutex.h"
#include "platform/window_messages.h"
#include "tests/util/file_test_support.h"

namespace {

using pellanor::test_support::readFile;
using pellanor::test_support::writeFile;

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid());
        QDir().mkpath(path("objects"));
        // Named objects live only in a folder private to the user.
        QFile::setPermissions(path("objects"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner);
        QDir().mkpath(path("tools"));
        // A desktop dialog tool that records what it was asked to show.
        const QString zenity = path("tools/zenity");
        ASSERT_TRUE(writeFile(zenity, "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"" +
                                          path("dialog.txt").toUtf8() + "\"\n"));
        QFile::setPermissions(zenity, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        qputenv("PELLANOR_OBJECTS_DIR", path("objects").toUtf8());
    }
    void TearDown() override { qunsetenv("PELLANOR_OBJECTS_DIR"); }

    QString path(const char* relative) const { return m_home.filePath(QString::fromLatin1(relative)); }

    // The program copied into `folder`, with the engine library `engine` beside it (none if empty).
    QString installProgram(const char* folder, const QString& engine) const {
        const QString bin = path(folder);
        QDir().mkpath(bin);
        const QString program = bin + QStringLiteral("/Pellanor");
        QFile::copy(QStringLiteral(PELLANOR_PROGRAM), program);
        if (!engine.isEmpty()) QFile::copy(engine, bin + QStringLiteral("/libsciter.so"));
        return program;
    }

    QProcessEnvironment environment(const QStringList& extra = {}) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), path("home"));
        env.insert(QStringLiteral("APPDATA"), path("roaming"));
        env.insert(QStringLiteral("LOCALAPPDATA"), path("local"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), path("data"));
        env.insert(QStringLiteral("PELLANOR_OBJECTS_DIR"), path("objects"));
        env.insert(QStringLiteral("PATH"), path("tools") + QStringLiteral(":/usr/bin:/bin"));
        if (!env.contains(QStringLiteral("DISPLAY"))) env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":0"));
        env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--no-sandbox --disable-gpu"));
        for (const QString& entry : extra) {
            env.insert(entry.section('=', 0, 0), entry.section('=', 1));
        }
        return env;
    }

    // `extra` holds NAME=value entries added to the environment.
    int runToEnd(const QString& program, const QStringList& extra = {}) const {
        const int timeoutMs = 30000;
        QProcess process;
        process.setProcessEnvironment(environment(extra));
        process.start(program, {QStringLiteral("LANG=de-de")});
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            return -1000;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2000;
    }

    bool logFolderExists() const { return QDir(path("roaming/Pellanor/logs")).exists(); }

private:
    QTemporaryDir m_home;
};

TEST_F(Startup, AMissingEngineEndsTheProgramWithMinusOneAndNoMessage) {
    EXPECT_EQ(runToEnd(installProgram("bare", {})), 255);
    EXPECT_FALSE(QFile::exists(path("dialog.txt")));
    EXPECT_FALSE(logFolderExists());
}

TEST_F(Startup, AnEngineOfAnotherVersionIsRefusedWithAMessage) {
    EXPECT_EQ(runToEnd(installProgram("old", QStringLiteral(PELLANOR_STAND_IN_ENGINE))), 255);
    const QByteArray dialog = readFile(path("dialog.txt"));
    EXPECT_TRUE(dialog.contains("Sciter version mismatch, quiting")) << dialog.toStdString();
    EXPECT_TRUE(dialog.contains("Error")) << dialog.toStdString();
}

TEST_F(Startup, TheEngineBesideTheProgramWinsOverAnotherOnTheLibraryPath) {
    // The program's own folder comes first, as on Windows: an engine of another version found
    // earlier on the search path must not be taken. The loading object held here makes the
    // program a second copy, which leaves with 0 once its engine has passed the version check.
    using pellanor::platform::MutexCreation;
    ASSERT_EQ(pellanor::platform::createNamedMutex("PellanorApp_SingleInstance_PellanorLoading"),
              MutexCreation::Created);
    const QString program = installProgram("beside", QStringLiteral(PELLANOR_ENGINE_LIBRARY));
    const QString otherEngine = QFileInfo(QStringLiteral(PELLANOR_STAND_IN_ENGINE)).absolutePath();
    EXPECT_EQ(runToEnd(program, {QStringLiteral("LD_LIBRARY_PATH=") + otherEngine}), 0);
    EXPECT_FALSE(QFile::exists(path("dialog.txt")));
}

constexpr char kShowMainWindowMessage[] = "PellanorApp_ShowMainWindowMsg";
constexpr char kMarkerMessage[] = "PellanorStartupTestMarker";

// Collects the broadcasts of the messages this process registered, as the first copy does.
struct Broadcasts {
    Broadcasts() {
        pellanor::platform::registerWindowMessage(kShowMainWindowMessage);
        pellanor::platform::registerWindowMessage(kMarkerMessage);
    }
    std::mutex lock;
    std::vector<std::string> names;
    std::unique_ptr<pellanor::platform::BroadcastListener> listener =
        pellanor::platform::listenForBroadcasts(
            [this](const std::string& name, std::uintptr_t wparam, std::intptr_t lparam) {
                std::lock_guard<std::mutex> guard(lock);
                names.push_back(name + ":" + std::to_string(wparam) + ":" + std::to_string(lparam));
            });

    // Everything heard before a marker this process broadcasts now: what was sent earlier has
    // had every chance to arrive, a second copy of it included.
    std::vector<std::string> allSentBefore() {
        pellanor::platform::broadcastWindowMessage(
            pellanor::platform::registerWindowMessage(kMarkerMessage), 0, 0);
        const std::string marker = std::string(kMarkerMessage) + ":0:0";
        for (int i = 0; i < 500; ++i) {
            {
                std::lock_guard<std::mutex> guard(lock);
                const auto found = std::find(names.begin(), names.end(), marker);
                if (found != names.end()) return std::vector<std::string>(names.begin(), found);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ADD_FAILURE() << "the marker never came";
        return {};
    }
};

TEST_F(Startup, ASecondCopyAsksTheFirstToShowItselfAndLeavesWithoutALogFile) {
    // This process plays the first copy: it holds the loading object and listens.
    using pellanor::platform::MutexCreation;
    ASSERT_EQ(pellanor::platform::createNamedMutex("PellanorApp_SingleInstance_PellanorLoading"),
              MutexCreation::Created);
    Broadcasts received;
    ASSERT_NE(received.listener, nullptr);
    EXPECT_EQ(runToEnd(QStringLiteral(PELLANOR_PROGRAM)), 0);
    EXPECT_EQ(received.allSentBefore(),
              std::vector<std::string>{std::string(kShowMainWindowMessage) + ":0:0"});
    EXPECT_FALSE(logFolderExists());
}

TEST_F(Startup, ACopyHoldingOnlyTheRunningObjectCountsAsRunning) {
    using pellanor::platform::MutexCreation;
    ASSERT_EQ(pellanor::platform::createNamedMutex("PellanorApp_SingleInstance_PellanorApp"),
              MutexCreation::Created);
    EXPECT_EQ(runToEnd(QStringLiteral(PELLANOR_PROGRAM)), 0);
    EXPECT_FALSE(logFolderExists());
}

// The TCP sockets process `pid` listens on: its socket descriptors matched by inode against the
// listening entries of /proc/net/tcp and tcp6.
int listeningSockets(qint64 pid) {
    QSet<QString> inodes;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = fd.symLinkTarget();
        const QString name = target.mid(target.lastIndexOf(QLatin1Char('/')) + 1);
        if (name.startsWith(QLatin1String("socket:["))) inodes << name.mid(8).chopped(1);
    }
    int listening = 0;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        const QStringList lines = QString::fromLatin1(readFile(QString::fromLatin1(table)))
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& line : lines.mid(1)) {
            const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            constexpr int kState = 3, kInode = 9;
            const bool listens = fields.size() > kInode && fields[kState] == QLatin1String("0A");
            if (listens && inodes.contains(fields[kInode])) ++listening;
        }
    }
    return listening;
}

TEST_F(Startup, TheFirstCopyShowsTheLoadingPageWhichLogsThroughNativeUtil) {
    QProcess first;
    QProcessEnvironment quiet = environment();
    quiet.remove(QStringLiteral("QTWEBENGINE_REMOTE_DEBUGGING"));
    first.setProcessEnvironment(quiet);
    first.start(QStringLiteral(PELLANOR_PROGRAM), {QStringLiteral("LANG=de-de")});
    ASSERT_TRUE(first.waitForStarted());

    // The loading page writes its own lines, with the tag in the 12 columns of pages.
    const QRegExp pageLine(QStringLiteral("\\]\\[[ \\w]{12}\\] "));
    QByteArray log;
    for (int i = 0; i < 300 && !QString::fromUtf8(log).contains(pageLine); ++i) {
        QThread::msleep(100);
        const QStringList files = QDir(path("roaming/Pellanor/logs")).entryList(QDir::Files);
        log = files.isEmpty() ? QByteArray()
                              : readFile(path("roaming/Pellanor/logs/") + files.first());
        ASSERT_EQ(first.state(), QProcess::Running) << first.readAllStandardError().toStdString();
    }
    EXPECT_TRUE(QString::fromUtf8(log).contains(pageLine)) << log.toStdString();
    // Its windows are debuggable, yet no inspector port was opened: nobody asked for one.
    EXPECT_EQ(listeningSockets(first.processId()), 0);

    // Meanwhile a second copy leaves at once.
    EXPECT_EQ(runToEnd(QStringLiteral(PELLANOR_PROGRAM)), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.terminate();
    first.waitForFinished(10000);
}

}  // namespace
