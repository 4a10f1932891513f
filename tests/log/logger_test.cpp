// The line layout and the creation of the logger, on files in temporary folders.
#include "log/logger.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <thread>
#include <vector>

#include "log/qt_format.h"
#include "tests/log/log_test_support.h"

namespace pellanor::logging {
namespace {

using test_support::datedLogName;
using test_support::readLines;

constexpr int kMessageWidth = 300;

class LoggerLines : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.path() + QStringLiteral("/logs");
        m_logger = createLogger(m_folder.toStdString(), "Pellanor-startup.exe");
    }

    QStringList lines() const {
        return readLines(m_folder + QLatin1Char('/') + datedLogName(QDate::currentDate()));
    }

    static QString messageOf(const QString& line) {
        const QString message =
            test_support::messageOf(line, QStringLiteral("Pellanor-startup.exe"));
        EXPECT_FALSE(message.isNull()) << line.toStdString();
        return message;
    }

    QTemporaryDir m_dir;
    QString m_folder;
    std::shared_ptr<spdlog::logger> m_logger;
};

TEST_F(LoggerLines, PadTheTaggedMessageTo300ColumnsAndEndWithEmptySourceBrackets) {
    m_logger->info("[{:>24}] remove file {} result: {}", "NativeUtil", "C:\\a.txt", true);

    const QStringList written = lines();
    ASSERT_EQ(written.size(), 1);
    const QString message = messageOf(written[0]);
    EXPECT_EQ(message.size(), kMessageWidth);
    EXPECT_EQ(message.trimmed(),
              QStringLiteral("[              NativeUtil] remove file C:\\a.txt result: true"));
}

TEST_F(LoggerLines, WriteLongMessagesWholeAndCountCharactersNotBytes) {
    const std::string longText(450, 'x');
    m_logger->info("{}", longText);
    m_logger->info("{}", QStringLiteral("缩略图缓存"));

    const QStringList written = lines();
    ASSERT_EQ(written.size(), 2);
    EXPECT_EQ(messageOf(written[0]), QString::fromStdString(longText));
    const QString chinese = messageOf(written[1]);
    EXPECT_EQ(chinese.size(), kMessageWidth);
    EXPECT_TRUE(chinese.startsWith(QStringLiteral("缩略图缓存 ")));
}

TEST_F(LoggerLines, LogEverythingAndKeepEachLineOnDiskAtOnce) {
    EXPECT_EQ(m_logger->name(), "Pellanor");
    EXPECT_EQ(m_logger->level(), spdlog::level::trace);
    EXPECT_EQ(m_logger->flush_level(), spdlog::level::trace);
    m_logger->trace("a");
    m_logger->debug("b");
    EXPECT_EQ(lines().size(), 2);  // read back without any explicit flush
}

TEST_F(LoggerLines, AppendToTheSameFileWhenReopenedOnTheSameDay) {
    m_logger->info("first");
    m_logger = createLogger(m_folder.toStdString(), "Pellanor-startup.exe");
    m_logger->info("second");

    const QStringList written = lines();
    ASSERT_EQ(written.size(), 2);
    EXPECT_EQ(messageOf(written[0]).trimmed(), QStringLiteral("first"));
    EXPECT_EQ(messageOf(written[1]).trimmed(), QStringLiteral("second"));
    EXPECT_EQ(QDir(m_folder).entryList(QDir::Files).size(), 1);
}

TEST_F(LoggerLines, StayWholeWhenWrittenFromSeveralThreadsAtOnce) {
    constexpr int kThreads = 4;
    constexpr int kLinesEach = 250;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < kLinesEach; ++i) m_logger->info("thread {} line {}", t, i);
        });
    }
    for (std::thread& thread : threads) thread.join();

    const QStringList written = lines();
    ASSERT_EQ(written.size(), kThreads * kLinesEach);
    for (const QString& line : written) ASSERT_FALSE(messageOf(line).isNull());
}

TEST(LinePattern, TakesTheExecutableNameLiterally) {
    EXPECT_EQ(linePattern("Pellanor-startup.exe"),
              "[%Y-%m-%d %H:%M:%S.%e %4oms][Pellanor-startup.exe][P%6P][T%6t]%-300v [%@ %!]");
    EXPECT_EQ(linePattern("100%v.exe"),
              "[%Y-%m-%d %H:%M:%S.%e %4oms][100%%v.exe][P%6P][T%6t]%-300v [%@ %!]");
}

TEST(LogFolder, IsUnderTheRoamingFolderOrElseTheGenericDataLocation) {
    EXPECT_EQ(logFolder("/roaming"), "/roaming/Pellanor/logs");
    const QString generic = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    EXPECT_EQ(QString::fromStdString(logFolder("")), generic + QStringLiteral("/Pellanor/logs"));
    EXPECT_EQ(logFileTemplate("/f"), "/f/Pellanor-%Y-%m-%d.log");
}

TEST(CreateLogger, WritesIntoAFolderWhoseNameLooksLikeFormatting) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/100% {user}/logs");
    createLogger(folder.toStdString(), "p.exe")->info("hello");

    EXPECT_EQ(readLines(folder + QLatin1Char('/') + datedLogName(QDate::currentDate())).size(), 1);
}

TEST(CreateLogger, KeepsWorkingWhenTheFileCannotBeOpened) {
    QTemporaryDir dir;
    QFile blocker(dir.path() + QStringLiteral("/logs"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder should be
    blocker.close();

    std::shared_ptr<spdlog::logger> logger;
    ASSERT_NO_THROW(logger = createLogger(blocker.fileName().toStdString(), "p.exe"));
    EXPECT_NO_THROW(logger->info("still running"));
    EXPECT_TRUE(QFileInfo(blocker.fileName()).isFile());
}

}  // namespace
}  // namespace pellanor::logging
