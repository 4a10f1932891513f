#include "clean/pagefile.h"

#include <gtest/gtest.h>

#include "tests/clean/clean_test_support.h"

namespace pellanor {
namespace {

using test_support::FakeProfile;

// Answers wmic commands from a script of outputs and records what was asked.
struct FakeWmic {
    QStringList asked;
    QList<std::optional<QByteArray>> answers;

    CommandRunner runner() {
        return [this](const QString& command, int timeoutMs) -> std::optional<QByteArray> {
            EXPECT_EQ(timeoutMs, 5000);
            asked << command;
            return answers.isEmpty() ? QByteArray() : answers.takeFirst();
        };
    }
};

const QByteArray kRecordedOutput =
    "AllocatedBaseSize  Name               \r\r\n"
    "1024               D:\\pagefile.sys    \r\r\n"
    "\r\r\n"
    "4864               C:\\pagefile.sys    \r\r\n"
    "\r\r\n";

TEST(ParsePagefileSizeMb, FindsTheDriveCRowBelowTheHeader) {
    EXPECT_EQ(parsePagefileSizeMb(kRecordedOutput), 4864);
    EXPECT_EQ(parsePagefileSizeMb("\n\nName  AllocatedBaseSize\nc:\\PAGEFILE.SYS  2048\n"), 2048);
}

TEST(ParsePagefileSizeMb, GivesZeroWithoutAUsableRow) {
    EXPECT_EQ(parsePagefileSizeMb(""), 0);
    EXPECT_EQ(parsePagefileSizeMb("No Instance(s) Available.\r\n"), 0);
    // A row before the header, a row with too few columns, one value that is not a number.
    EXPECT_EQ(parsePagefileSizeMb("4096  C:\\pagefile.sys\nAllocatedBaseSize  Name\n"), 0);
    EXPECT_EQ(parsePagefileSizeMb("AllocatedBaseSize  Name\nC:\\pagefile.sys\n"), 0);
    EXPECT_EQ(parsePagefileSizeMb("AllocatedBaseSize  Name\nlots  C:\\pagefile.sys\n"), 0);
    // One space does not separate columns.
    EXPECT_EQ(parsePagefileSizeMb("AllocatedBaseSize Name\n4096 C:\\pagefile.sys\n"), 0);
}

TEST(GetPagefileSize, PrefersTheFileAndRoundsDownToWholeMebibytes) {
    FakeProfile profile;
    test_support::writeFile(profile.driveC("pagefile.sys"), 3 * 1048576 + 5);
    FakeWmic wmic;
    EXPECT_EQ(getPagefileSize(wmic.runner()), QString::number(3 * 1048576));
    EXPECT_TRUE(wmic.asked.isEmpty());
}

TEST(GetPagefileSize, FallsBackToTheToolAndAnswersZeroWhenItFails) {
    FakeProfile profile;
    FakeWmic wmic;
    wmic.answers = {kRecordedOutput, std::nullopt};
    EXPECT_EQ(getPagefileSize(wmic.runner()), QString::number(4864LL * 1048576));
    EXPECT_EQ(getPagefileSize(wmic.runner()), "0");
    const QString query = "wmic pagefile get Name,AllocatedBaseSize";
    EXPECT_EQ(wmic.asked, (QStringList{query, query}));
}

class MigratePagefile : public ::testing::Test {
protected:
    MigratePagefile() {
        m_env.set("PELLANOR_DRIVES", ("C=" + m_profile.driveC() + ";D=" + m_profile.outside() +
                                      ";E=" + m_profile.path("no-such-drive"))
                                         .toStdString());
        m_env.set("COMPUTERNAME", "TESTBOX");
    }

    FakeProfile m_profile;
    test_support::ScopedEnvironment m_env;
};

TEST_F(MigratePagefile, RefusesDriveCBadLettersAndMissingDrivesWithoutRunningAnything) {
    FakeWmic wmic;
    for (const char* drive : {"C", "c:", " C: ", "DE", "1", "", "D:\\", "E"}) {
        EXPECT_FALSE(migratePagefile(drive, wmic.runner())) << drive;
    }
    EXPECT_TRUE(wmic.asked.isEmpty());
}

TEST_F(MigratePagefile, RunsTheThreeCommandsForEverySpellingOfTheDrive) {
    for (const char* drive : {"d", "D:", "  d: "}) {
        FakeWmic wmic;
        wmic.answers = {kRecordedOutput, "Updating property(s)", "Deleting instance", "ok"};
        EXPECT_TRUE(migratePagefile(drive, wmic.runner())) << drive;
        EXPECT_EQ(wmic.asked,
                  (QStringList{"wmic pagefile get Name,AllocatedBaseSize",
                               "wmic computersystem where name=\"TESTBOX\" set "
                               "AutomaticManagedPagefile=False",
                               "wmic pagefileset where name=\"C:\\\\pagefile.sys\" delete",
                               "wmic pagefileset create Name=\"D:\\pagefile.sys\", "
                               "InitialSize=4864, MaximumSize=4864"}));
    }
}

TEST_F(MigratePagefile, CreatesAnEightGigabytePageFileWhenTheSizeIsUnknown) {
    FakeWmic wmic;
    wmic.answers = {QByteArray("No Instance(s) Available."), "", "", ""};
    EXPECT_TRUE(migratePagefile("D", wmic.runner()));
    EXPECT_TRUE(wmic.asked.last().endsWith("InitialSize=8192, MaximumSize=8192"));
}

TEST_F(MigratePagefile, FailsOnTheWordErrorInAnyCaseOrOnATimeout) {
    {
        FakeWmic wmic;
        wmic.answers = {kRecordedOutput, "error: access denied"};
        EXPECT_FALSE(migratePagefile("D", wmic.runner()));
        EXPECT_EQ(wmic.asked.size(), 2);  // stops at the first failing step
    }
    {
        FakeWmic wmic;
        wmic.answers = {kRecordedOutput, "", "", "ERROR:\r\nDescription = Invalid query"};
        EXPECT_FALSE(migratePagefile("D", wmic.runner()));
    }
    {
        FakeWmic wmic;
        wmic.answers = {kRecordedOutput, std::nullopt};
        EXPECT_FALSE(migratePagefile("D", wmic.runner()));
    }
    {
        FakeWmic wmic;
        // The delete step's outcome does not count.
        wmic.answers = {kRecordedOutput, "", std::nullopt, ""};
        EXPECT_TRUE(migratePagefile("D", wmic.runner()));
    }
}

TEST_F(MigratePagefile, HandsTheToolItsWordsAsItsOwnCommandLineReadsThem) {
    test_support::FakeTools tools;
    tools.add("wmic", 0, "AllocatedBaseSize  Name\n2048  C:\\pagefile.sys\n");
    EXPECT_TRUE(migratePagefile("d"));
    // The quoted where-values arrive without their quotes and with their backslashes, as the
    // tool's own C runtime reads them; a shell would have taken "\\" for one backslash.
    EXPECT_EQ(tools.runs("wmic"),
              (QStringList{"[pagefile][get][Name,AllocatedBaseSize]",
                           "[computersystem][where][name=TESTBOX][set]"
                           "[AutomaticManagedPagefile=False]",
                           "[pagefileset][where][name=C:\\\\pagefile.sys][delete]",
                           "[pagefileset][create][Name=D:\\pagefile.sys,][InitialSize=2048,]"
                           "[MaximumSize=2048]"}));
}

TEST(PagefileTools, AreAbsentHereAndGiveTheFailureValues) {
    FakeProfile profile;
    test_support::ScopedEnvironment env;
    env.set("PATH", profile.outside().toStdString());
    EXPECT_EQ(getPagefileSize(), "0");
    EXPECT_FALSE(runToolCommandLine("wmic pagefile get Name", 5000).has_value());
}

}  // namespace
}  // namespace pellanor
