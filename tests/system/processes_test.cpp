#include "system/processes.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/clean/clean_test_support.h"

namespace pellanor {
namespace {

// Copies of a program that sleeps, under an executable name of the test's choosing.
class Sleepers final {
public:
    explicit Sleepers(const QString& exeName) : m_path(m_folder.filePath(exeName)) {
        QFile::copy(QStringLiteral("/bin/sleep"), m_path);
        QFile(m_path).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    ~Sleepers() {
        for (auto& process : m_processes) {
            process->kill();
            process->waitForFinished();
        }
    }

    qint64 start() {
        m_processes.push_back(std::make_unique<QProcess>());
        m_processes.back()->start(m_path, {QStringLiteral("60")});
        m_processes.back()->waitForStarted();
        return m_processes.back()->processId();
    }

    QProcess& process(std::size_t i) { return *m_processes[i]; }
    const QString& path() const { return m_path; }

private:
    QTemporaryDir m_folder;
    QString m_path;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

TEST(ProcessQueries, FindRunningProgramsByExactName) {
    Sleepers sleepers("pellanor-sleeper.exe");
    EXPECT_FALSE(isProcessRunning("pellanor-sleeper.exe"));
    EXPECT_EQ(getProcessIDList("pellanor-sleeper.exe"), "");

    const qint64 first = sleepers.start();
    const qint64 second = sleepers.start();
    const qint64 third = sleepers.start();
    EXPECT_TRUE(isProcessRunning("pellanor-sleeper.exe"));
    EXPECT_FALSE(isProcessRunning("Pellanor-Sleeper.exe"));
    EXPECT_FALSE(isProcessRunning("pellanor-sleeper"));
    EXPECT_EQ(getProcessIDList("pellanor-sleeper.exe"),
              QString("%1,%2,%3").arg(first).arg(second).arg(third));
    EXPECT_EQ(getProcessNameList().split(',').count("pellanor-sleeper.exe"), 1);
}

// The state letter of /proc/<pid>/stat, which follows the last ')'.
char stateOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() ? '\0' : line[close + 2];
}

// A copy that has exited but is still listed (a zombie here; on Windows one that ends between
// the snapshot and the check) must not hide a live copy listed before it.
TEST(ProcessQueries, AnswerRunningWhileAnEndedCopyIsListedAfterALiveOne) {
    // An ended process is known by its kernel name only, which is cut at 15 characters.
    Sleepers sleepers("twin.exe");
    const qint64 live = sleepers.start();
    const std::string program = sleepers.path().toStdString();
    const pid_t ended = ::fork();
    ASSERT_GE(ended, 0);
    if (ended == 0) {
        ::execl(program.c_str(), program.c_str(), "0", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int attempt = 0; attempt < 250 && stateOf(ended) != 'Z'; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const char state = stateOf(ended);
    const bool listedAfter = ended > live;

    const bool running = isProcessRunning("twin.exe");
    const QString ids = getProcessIDList("twin.exe");
    ::waitpid(ended, nullptr, 0);
    ASSERT_EQ(state, 'Z');
    if (!listedAfter) GTEST_SKIP() << "process ids wrapped around";
    EXPECT_TRUE(running);
    EXPECT_EQ(ids, QString::number(live));
}

TEST(ProcessQueries, LeaveOutExcludedNames) {
    ASSERT_EQ(excludedProcessNames().size(), 83);
    EXPECT_EQ(excludedProcessNames().first(), "explorer.exe");
    EXPECT_EQ(excludedProcessNames().last(), "StandardCollector.Service.exe");
    EXPECT_TRUE(excludedProcessNames().contains("NVIDIA Web Helper.exe"));

    Sleepers excluded("svchost.exe");
    Sleepers differentCase("SVCHOST.exe");
    excluded.start();
    differentCase.start();
    QStringList names = getProcessNameList().split(',');
    EXPECT_FALSE(names.contains("svchost.exe"));
    EXPECT_TRUE(names.contains("SVCHOST.exe"));
    EXPECT_EQ(names.removeDuplicates(), 0);
}

TEST(KillProcess, EndsEveryMatchAndLogsEachStep) {
    Sleepers sleepers("pellanor-victim.exe");
    sleepers.start();
    sleepers.start();
    test_support::LogCapture log;

    EXPECT_TRUE(killProcess("pellanor-victim.exe"));
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(sleepers.process(i).waitForFinished(5000));
        EXPECT_EQ(sleepers.process(i).exitStatus(), QProcess::CrashExit);
    }
    const auto messages = log.messages();
    ASSERT_EQ(messages.size(), 1u + 2 * 6 + 2);
    EXPECT_EQ(messages.front(), "try to kill process pellanor-victim.exe");
    for (std::size_t i = 0; i < 2; ++i) {
        const std::size_t at = 1 + 6 * i;
        EXPECT_EQ(messages[at], "found matched exe pellanor-victim.exe open process");
        EXPECT_EQ(messages[at + 1].rfind("hProcess=", 0), 0u);
        EXPECT_NE(messages[at + 1], "hProcess=0");
        EXPECT_EQ(messages[at + 2], "exit code for this process is 259");
        EXPECT_EQ(messages[at + 3], "before terminate process");
        EXPECT_EQ(messages[at + 4], "after terminate process");
        EXPECT_EQ(messages[at + 5], "after close handle for hprocess");
    }
    EXPECT_EQ(messages[messages.size() - 2], "before close snapshot handle and exit this function");
    EXPECT_EQ(messages.back(), "after close snapshot handle and exit this function");
}

TEST(KillProcess, LogsOnlyTheFrameForANameThatIsNotRunning) {
    test_support::LogCapture log;
    EXPECT_FALSE(killProcess("pellanor-not-running.exe"));
    EXPECT_EQ(log.messages(),
              (std::vector<std::string>{"try to kill process pellanor-not-running.exe",
                                        "before close snapshot handle and exit this function",
                                        "after close snapshot handle and exit this function"}));
}

}  // namespace
}  // namespace pellanor
