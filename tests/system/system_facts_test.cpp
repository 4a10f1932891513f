// The machine facts as the pages receive them, against what the kernel says through /proc,
// /sys and statvfs, with drives mapped onto temporary folders.
#include "system/system_facts.h"

#include <gtest/gtest.h>

#include <sys/statvfs.h>
#include <sys/utsname.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cmath>
#include <ctime>
#include <fstream>
#include <map>

// The capture processes_test.cpp uses too: one definition of it per test program.
#include "tests/clean/clean_test_support.h"
#include "tests/platform/scoped_environment.h"

namespace pellanor::system {
namespace {

QJsonArray listOf(const QString& text) {
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    // The pages get the writer's indented layout, whatever its keys.
    EXPECT_EQ(text, QString::fromUtf8(document.toJson(QJsonDocument::Indented)));
    EXPECT_EQ(document.object().keys(), QStringList{"list"});
    return document.object().value("list").toArray();
}

struct statvfs statOf(const QString& path) {
    struct statvfs fs {};
    EXPECT_EQ(::statvfs(QFile::encodeName(path).constData(), &fs), 0) << path.toStdString();
    return fs;
}

// Other programs write to the same disk between two measurements.
constexpr double kFreeSpaceDrift = 256.0 * 1024 * 1024;

TEST(DiskList, HasOneRecordPerDeviceBackedBlockEntryWithItsSize) {
    std::map<QString, double> expected;
    for (const QString& name : QDir("/sys/block").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (name.startsWith("loop") || name.startsWith("ram")) continue;
        if (!QFile::exists("/sys/block/" + name + "/device")) continue;
        QFile size("/sys/block/" + name + "/size");
        size.open(QIODevice::ReadOnly);
        expected[name] = size.readAll().trimmed().toDouble() * 512;
    }
    const QJsonArray list = listOf(getDiskList());
    ASSERT_EQ(static_cast<std::size_t>(list.size()), expected.size());
    auto next = expected.begin();
    for (const QJsonValue& value : list) {
        const QJsonObject disk = value.toObject();
        EXPECT_EQ(disk.keys(), (QStringList{"appId", "diskModel", "diskSerialNumber", "diskSize"}));
        EXPECT_EQ(disk.value("appId").toInt(), 10001);
        EXPECT_TRUE(disk.value("diskModel").isString());
        EXPECT_TRUE(disk.value("diskSerialNumber").isString());
        EXPECT_EQ(disk.value("diskSize").toDouble(), next->second) << next->first.toStdString();
        ++next;
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
    const struct statvfs fs = statOf(root.path());
    for (int i = 0; i < list.size(); ++i) {
        const QJsonObject drive = list[i].toObject();
        EXPECT_EQ(drive.value("drive").toString(), i == 0 ? "D:" : "G:");
        EXPECT_EQ(drive.keys(), (QStringList{"drive", "freeSpace", "isRemovable", "totalSpace"}));
        EXPECT_EQ(drive.value("totalSpace").toDouble(), double(fs.f_blocks) * fs.f_frsize);
        EXPECT_NEAR(drive.value("freeSpace").toDouble(), double(fs.f_bfree) * fs.f_frsize,
                    kFreeSpaceDrift);
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

TEST(SystemDrive, ReportsTheRootVolumeInSinglePrecision) {
    const struct statvfs fs = statOf(QDir::rootPath());
    const double total = double(fs.f_blocks) * fs.f_frsize;
    EXPECT_EQ(getSystemDriveTotalBits(), static_cast<float>(total));
    EXPECT_NEAR(getSystemDriveFreeBits(), double(fs.f_bfree) * fs.f_frsize, kFreeSpaceDrift);
}

TEST(ScriptBytes, AreExactForPowersOfTwoAndRoundedTo24BitsOtherwise) {
    const std::uint64_t gib = 1024ull * 1024 * 1024;
    EXPECT_EQ(static_cast<double>(scriptBytes(16 * gib)), 16.0 * gib);
    EXPECT_EQ(static_cast<double>(scriptBytes((1u << 24) + 1)), double(1u << 24));
    const double nearHalfTerabyte = scriptBytes(500107862016ull);
    EXPECT_EQ(std::fmod(nearHalfTerabyte, 32768.0), 0.0);
    EXPECT_LE(std::fabs(nearHalfTerabyte - 500107862016.0), 16384.0);
    EXPECT_EQ(scriptBytes(0), 0.0f);
}

TEST(MachineFacts, AreWhatProcUnameAndTheClockSay) {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kilobytes = 0;
    while (meminfo >> key >> kilobytes && key != "MemTotal:") meminfo.ignore(256, '\n');
    EXPECT_EQ(getMemeryBits(), static_cast<float>(kilobytes * 1024));

    test_support::LogCapture log;
    struct utsname names {};
    ASSERT_EQ(::uname(&names), 0);
    const bool x64 = std::string(names.machine) == "x86_64";
    EXPECT_EQ(is64BitOS(), x64);
    if (x64) {
        EXPECT_EQ(log.messages(), std::vector<std::string>{"si.wProcessorArchitecture=9"});
    }
    EXPECT_FALSE(isWindows7());

    const std::time_t before = std::time(nullptr);
    const int seconds = getSecondsSinceEpoch();
    EXPECT_GE(seconds, before);
    EXPECT_LE(seconds, std::time(nullptr));
}

}  // namespace
}  // namespace pellanor::system
