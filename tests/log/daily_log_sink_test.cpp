// Rotation and retention, driven through the message time that the sink rotates on.
#include "log/daily_log_sink.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <ctime>

#include "tests/log/log_test_support.h"

namespace pellanor::logging {
namespace {

using test_support::datedLogName;
using test_support::readLines;

spdlog::log_clock::time_point localTime(const QDate& date, int hour, int minute) {
    std::tm fields{};
    fields.tm_year = date.year() - 1900;
    fields.tm_mon = date.month() - 1;
    fields.tm_mday = date.day();
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_isdst = -1;
    return spdlog::log_clock::from_time_t(std::mktime(&fields));
}

void logAt(spdlog::sinks::sink& sink, spdlog::log_clock::time_point time, const char* text) {
    spdlog::details::log_msg msg("Pellanor", spdlog::level::info, text);
    msg.time = time;
    sink.log(msg);
    sink.flush();
}

class DailyLogSinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
    QString dated(int daysFromToday) const {
        return path(datedLogName(m_today.addDays(daysFromToday)));
    }
    void touch(const QString& file) const {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << file.toStdString();
    }
    std::unique_ptr<DailyLogSink> openSink(std::size_t maxFiles = 30) const {
        auto sink = std::make_unique<DailyLogSink>(
            path(QStringLiteral("Pellanor-%Y-%m-%d.log")).toStdString(), maxFiles);
        sink->set_pattern("%v");
        return sink;
    }

    QTemporaryDir m_dir;
    const QDate m_today = QDate::currentDate();
};

TEST_F(DailyLogSinkTest, MovesToANewDatedFileAfterMidnight) {
    auto sink = openSink();
    EXPECT_EQ(QString::fromStdString(sink->fileName()), dated(0));
    logAt(*sink, spdlog::log_clock::now(), "today");
    logAt(*sink, localTime(m_today.addDays(1), 0, 0), "just after midnight");
    logAt(*sink, localTime(m_today.addDays(1), 23, 59), "late");

    EXPECT_EQ(readLines(dated(0)), QStringList{QStringLiteral("today")});
    EXPECT_EQ(readLines(dated(1)),
              (QStringList{QStringLiteral("just after midnight"), QStringLiteral("late")}));
    EXPECT_EQ(QString::fromStdString(sink->fileName()), dated(1));
}

TEST_F(DailyLogSinkTest, KeepsTheNewestThirtyDatedFilesEvenAcrossGapsInTheDays) {
    for (int day = -1; day >= -20; --day) touch(dated(day));
    for (int day = -25; day >= -40; --day) touch(dated(day));  // older run, after a gap
    const QStringList strangers = {QStringLiteral("notes.txt"), QStringLiteral("Pellanor-old.log"),
                                   QStringLiteral("Other-2020-01-01.log"),
                                   QStringLiteral("Pellanor-2020-01-01.log.bak")};
    for (const QString& name : strangers) touch(path(name));

    auto sink = openSink();
    logAt(*sink, localTime(m_today.addDays(1), 0, 1), "tomorrow");

    const QStringList kept =
        QDir(m_dir.path())
            .entryList({QStringLiteral("Pellanor-\?\?\?\?-\?\?-\?\?.log")}, QDir::Files);
    EXPECT_EQ(kept.size(), 30);
    for (int day = 1; day >= -20; --day) EXPECT_TRUE(QFile::exists(dated(day))) << day;
    for (int day = -25; day >= -32; --day) EXPECT_TRUE(QFile::exists(dated(day))) << day;
    for (int day = -33; day >= -40; --day) EXPECT_FALSE(QFile::exists(dated(day))) << day;
    for (const QString& name : strangers)
        EXPECT_TRUE(QFile::exists(path(name))) << name.toStdString();
}

TEST_F(DailyLogSinkTest, NeverDeletesTheFileBeingWritten) {
    for (int day = 5; day <= 7; ++day) touch(dated(day));  // dated after today: clock was wrong
    auto sink = openSink(2);
    logAt(*sink, spdlog::log_clock::now(), "today");

    EXPECT_TRUE(QFile::exists(dated(0)));
    EXPECT_EQ(readLines(dated(0)), QStringList{QStringLiteral("today")});
}

TEST(LogFileNameCalculator, ExpandsDatesInTheFileNameOnly) {
    std::tm day{};
    day.tm_year = 2026 - 1900;
    day.tm_mon = 11;
    day.tm_mday = 6;
    EXPECT_EQ(LogFileNameCalculator::calc_filename("/a%Y {b}/Pellanor-%Y-%m-%d.log", day),
              "/a%Y {b}/Pellanor-2026-12-06.log");
    EXPECT_EQ(LogFileNameCalculator::calc_filename("Pellanor-%Y-%m-%d.log", day),
              "Pellanor-2026-12-06.log");
}

}  // namespace
}  // namespace pellanor::logging
