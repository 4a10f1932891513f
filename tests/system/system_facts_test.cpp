// The machine facts as the pages receive them: records, drive selection over drives mapped onto
// temporary folders (compared with statvfs), the system drive through the drive map, failure
// values and single-precision counts.
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
#include <optional>
#include <string>

#include "platform/drives.h"
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
}

struct HostSpace {
    double total = 0;
    double free = 0;
};

std::optional<HostSpace> hostSpace(const std::string& folder) {
    struct statvfs fs {};
    if (::statvfs(folder.c_str(), &fs) != 0) return std::nullopt;
    return HostSpace{double(fs.f_blocks) * fs.f_frsize, double(fs.f_bfree) * fs.f_frsize};
}

TEST(SystemDrive, IsTheFolderTheDriveMapGivesC) {
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkdir("c"));
    const std::string base = root.path().toStdString();
    const auto hostRoot = hostSpace("/");
    const auto memory = hostSpace("/dev/shm");
    ASSERT_TRUE(hostRoot.has_value());
    // Only a folder on another file system tells the mapped drive from the host's root.
    const bool memoryDiffers = memory && memory->total != hostRoot->total;

    struct Case {
        const char* name;
        std::optional<std::string> map;  // nullopt: no map at all
        std::string folder;              // the host folder measured; empty: none, the failure value
        bool needsMemory = false;
    };
    const Case cases[] = {
        {"no map", std::nullopt, "/"},
        {"a map without C", "D=" + base + "/c", "/"},
        {"C on memory", "C=/dev/shm", "/dev/shm", true},
        {"lower-case letter, trailing slash, among others", "D=/;c=/dev/shm/;E=/", "/dev/shm", true},
        {"C deep in a temporary tree", "C=" + base + "/c", base + "/c"},
        {"C on a missing folder", "C=" + base + "/missing", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsMemory && !memoryDiffers) {
            ADD_FAILURE() << "/dev/shm is missing or as large as /; this case proves nothing";
            continue;
        }
        test_support::ScopedEnvironment env;
        if (c.map) {
            env.set("PELLANOR_DRIVES", *c.map);
        } else {
            env.unset("PELLANOR_DRIVES");
        }
        test_support::LogCapture log;
        const float total = getSystemDriveTotalBits();
        const float free = getSystemDriveFreeBits();
        if (c.folder.empty()) {
            EXPECT_EQ(total, 1.0f);
            EXPECT_EQ(free, 1.0f);
            EXPECT_EQ(log.messages().size(), 2u);
            continue;
        }
        EXPECT_TRUE(log.messages().empty());
        const auto expected = hostSpace(c.folder);
        ASSERT_TRUE(expected.has_value()) << c.folder;
        EXPECT_EQ(total, static_cast<float>(expected->total));
        // Other programs write to the same disk meanwhile.
        EXPECT_NEAR(free, expected->free, 1e8);
        // The same figure every other drive fact gives for C:.
        EXPECT_EQ(total, scriptBytes(driveTotalBytes("C:\\")));
    }
}

TEST(SystemDrive, AgreesWithTheDriveListForADriveOnTheSameFileSystem) {
    QTemporaryDir root;
    for (const char* folder : {"c", "d"}) ASSERT_TRUE(QDir(root.path()).mkdir(folder));
    const std::string base = root.path().toStdString();
    test_support::ScopedEnvironment env;
    env.set("PELLANOR_DRIVES", "C=" + base + "/c;D=" + base + "/d");
    ASSERT_EQ(platform::logicalDrives(), "CD");
    const QJsonArray list = listOf(getLogicalDrives());
    ASSERT_EQ(list.size(), 1) << "C is never among the data drives";
    const QJsonObject drive = list[0].toObject();
    EXPECT_EQ(drive.value("drive").toString(), "D:");
    EXPECT_EQ(static_cast<float>(drive.value("totalSpace").toDouble()), getSystemDriveTotalBits());
    EXPECT_NEAR(drive.value("freeSpace").toDouble(), double{getSystemDriveFreeBits()}, 1e8);
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
