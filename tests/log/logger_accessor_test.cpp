// The process-wide logger, created by its first use, as the program creates it.
#include "log/logger.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QTemporaryDir>

#include "platform/environment.h"
#include "platform/executable.h"
#include "tests/log/log_test_support.h"

namespace pellanor::logging {
namespace {

TEST(Logger, IsCreatedOnceInTheRoamingFolderAndTagsLinesIn24Columns) {
    QTemporaryDir roaming;
    ASSERT_TRUE(roaming.isValid());
    ASSERT_TRUE(platform::setEnvironmentVariable("APPDATA", roaming.path().toStdString()));

    info("NativeUtil", "exitApp requested");
    debug("SysUtil", "{} + {} = {}", 1, 2, 3);
    EXPECT_EQ(&logger(), &logger());

    const QString file = roaming.path() + QStringLiteral("/Pellanor/logs/") +
                         test_support::datedLogName(QDate::currentDate());
    const QStringList lines = test_support::readLines(file);
    ASSERT_EQ(lines.size(), 2) << file.toStdString();

    const QString exe = QString::fromStdString(platform::executableBaseName());
    const QString first = test_support::messageOf(lines[0], exe);
    const QString second = test_support::messageOf(lines[1], exe);
    EXPECT_EQ(first, QStringLiteral("[              NativeUtil] exitApp requested")
                         .leftJustified(300, QLatin1Char(' ')));
    EXPECT_EQ(second, QStringLiteral("[                 SysUtil] 1 + 2 = 3")
                          .leftJustified(300, QLatin1Char(' ')));
}

}  // namespace
}  // namespace pellanor::logging
