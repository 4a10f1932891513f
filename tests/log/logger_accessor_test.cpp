// The process-wide logger, created by its first use, as the program creates it.
#include "log/logger.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "platform/environment.h"
#include "platform/executable.h"
#include "tests/log/log_test_support.h"

namespace pellanor::logging {
namespace {

QString todaysLog(const QTemporaryDir& roaming) {
    return roaming.path() + QStringLiteral("/Pellanor/logs/") +
           test_support::datedLogName(QDate::currentDate());
}

TEST(Logger, IsCreatedOnceInTheRoamingFolderAndTagsLinesIn24Columns) {
    QTemporaryDir roaming;
    QTemporaryDir movedRoaming;
    ASSERT_TRUE(roaming.isValid() && movedRoaming.isValid());
    ASSERT_TRUE(platform::setEnvironmentVariable("APPDATA", roaming.path().toStdString()));
    info("NativeUtil", "exitApp requested");
    // A logger made anew on a later call would follow the variable to the other folder.
    ASSERT_TRUE(platform::setEnvironmentVariable("APPDATA", movedRoaming.path().toStdString()));
    debug("SysUtil", "{} + {} = {}", 1, 2, 3);

    const QStringList lines = test_support::readLines(todaysLog(roaming));
    ASSERT_EQ(lines.size(), 2) << todaysLog(roaming).toStdString();
    EXPECT_FALSE(QDir(movedRoaming.path() + QStringLiteral("/Pellanor")).exists());

    const QString exe = QString::fromStdString(platform::executableBaseName());
    const QString first = test_support::messageOf(lines[0], exe);
    const QString second = test_support::messageOf(lines[1], exe);
    EXPECT_EQ(first, QStringLiteral("[              NativeUtil] exitApp requested")
                         .leftJustified(300, QLatin1Char(' ')));
    EXPECT_EQ(second, QStringLiteral("[                 SysUtil] 1 + 2 = 3")
                          .leftJustified(300, QLatin1Char(' ')));
}

TEST(Logger, StillWritesWhileTheProcessExits) {
    QTemporaryDir roaming;
    ASSERT_TRUE(roaming.isValid());
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("APPDATA"), roaming.path());
    child.setProcessEnvironment(environment);
    child.start(QStringLiteral(PELLANOR_LOGGER_EXIT_CHILD), QStringList());
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);

    const QStringList lines = test_support::readLines(todaysLog(roaming));
    ASSERT_EQ(lines.size(), 2) << todaysLog(roaming).toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("] logged in main ")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("] logged while exiting ")));
}

}  // namespace
}  // namespace pellanor::logging
