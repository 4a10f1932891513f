// The machine facts as the pages receive them: records, drive selection over drives mapped onto
// temporary folders (compared with statvfs), failure values and single-precision counts.
#include "system/system_facts.h"

#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cmath>
#include <ctime>

#include "platform/physical_disks.h"
// The capture processes_test.cpp uses too: one definition of it per test program.
#include "tests/clean/clean_test_support.h"

namespace pellanor::system {
namespace {

QJsonArray listOf(const QString& text) {
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    EXPECT_EQ(text, QString::fromUtf8(document.toJson(QJsonDocument::Indented)));
    EXPECT_EQ(document.object().keys(), QStringList{"list"});
    return document.object().value("list").toArray();
}

TEST(DiskList, CarriesEveryDiskWithTheApplicationId) {
    const auto disks = platform::physicalDisks(kDiskListTimeoutMs);
    ASSERT_TRUE(disks.has_value());
    const QJsonArray list = listOf(getDiskList());
    ASSERT_EQ(static_cast<std::size_t>(list.size()), disks->size());
    for (int i = 0; i < list.size(); ++i) {
        const QJsonObject disk = list[i].toObject();
        EXPECT_EQ(disk.keys(), (QStringList{"appId", "diskModel", "diskSerialNumber", "diskSize"}));
        EXPECT_EQ(disk.value("appId"), QJsonValue(10001));
        EXPECT_EQ(disk.value("diskSerialNumber").toString().toStdString(),
                  (*disks)[i].serialNumber);
        EXPECT_EQ(disk.value("diskSize").toDouble(), (*disks)[i].sizeBytes);
    }
}

TEST(LogicalDrives, ListOnlyFixedDataDrivesInLetterOrderWithTheirSpace) {
    QTemporaryDir root;
    for (const char* folder : {"c", "d", "g"}) QDir(root.path()).mkdir(folder);
    test_support::ScopedEnvironment env;
    env.unset("PELLANOR_DRIVES");
    EXPECT_TRUE(listOf(getLogicalDrives()).isEmpty()) << "a machine with only C:";

    const std::string base = root.path().toStdString();
    env.set("PELLANOR_DRIVES",
            "G=" + base + "/g;C=" + base + "/c;D=" + base + "/d;E=/dev/shm;F=" + base + "/missing");
    const QJsonArray list = listOf(getLogicalDrives());
    ASSERT_EQ(list.size(), 2);
    struct statvfs fs {};
    ASSERT_EQ(::statvfs(base.c_str(), &fs), 0);
    for (int i = 0; i < list.size(); ++i) {
        const QJsonObject drive = list[i].toObject();
        EXPECT_EQ(drive.value("drive").toString(), i == 0 ? "D:" : "G:");
        EXPECT_EQ(drive.value("totalSpace").toDouble(), double(fs.f_blocks) * fs.f_frsize);
        // Other programs write to the same disk meanwhile.
        EXPECT_NEAR(drive.value("freeSpace").toDouble(), double(fs.f_bfree) * fs.f_frsize, 1e8);
        EXPECT_EQ(drive.value("isRemovable"), QJsonValue(false));
    }
}

TEST(DriveSpace, IsOneAndLoggedWhenTheSystemCannotSay) {
    test_support::LogCapture log;
    const QString missing = QDir::tempPath() + "/pellanor-no-such-folder/deeper";
    EXPECT_EQ(driveFreeBytes(missing), 1u);
    EXPECT_EQ(driveTotalBytes(missing), 1u);
    const std::string line = "ERROR: Call to GetDiskFreeSpaceEx() failed.";
    EXPECT_EQ(log.messages(), (std::vector<std::string>{line, line}));
}

TEST(ScriptBytes, AreExactForPowersOfTwoAndRoundedTo24BitsOtherwise) {
    EXPECT_EQ(double{scriptBytes(16ull << 30)}, double(16ull << 30));
    EXPECT_EQ(double{scriptBytes((1u << 24) + 1)}, double(1u << 24));
    const double nearHalfTerabyte = scriptBytes(500107862016ull);
    EXPECT_EQ(std::fmod(nearHalfTerabyte, 32768.0), 0.0);
    EXPECT_LE(std::fabs(nearHalfTerabyte - 500107862016.0), 16384.0);

    struct statvfs fs {};
    ASSERT_EQ(::statvfs("/", &fs), 0);
    EXPECT_EQ(getSystemDriveTotalBits(), static_cast<float>(double(fs.f_blocks) * fs.f_frsize));
}

TEST(MachineFacts, LogTheArchitectureAndReadTheClock) {
    test_support::LogCapture log;
    const bool x64 = is64BitOS();
    ASSERT_EQ(log.messages().size(), 1u);
    EXPECT_EQ(log.messages()[0] == "si.wProcessorArchitecture=9", x64) << log.messages()[0];
    EXPECT_FALSE(isWindows7());

    const std::time_t before = std::time(nullptr);
    const int seconds = getSecondsSinceEpoch();
    EXPECT_GE(seconds, before);
    EXPECT_LE(seconds, std::time(nullptr));
}

}  // namespace
}  // namespace pellanor::system
