// The POSIX stand-ins against what the kernel says through /proc, /sys, uname and statvfs.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/drives.h"
#include "platform/physical_disks.h"
#include "platform/system_info.h"
#include "tests/platform/scoped_environment.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

std::string readWord(const std::string& path) {
    std::ifstream file(path);
    std::string word;
    file >> word;
    return word;
}

TEST(LogicalDrivesPosix, ListTheMappedDrivesWhoseRootsExist) {
    test_support::ScopedTempFolder folder;
    fs::create_directory(folder.path() / "d");
    fs::create_directory(folder.path() / "f");
    std::ofstream(folder.path() / "g") << "a file is no drive";
    const std::string root = folder.path().string();
    test_support::ScopedEnvironment env;
    env.set("PELLANOR_DRIVES", "f=" + root + "/f;D=" + root + "/d;E=" + root +
                                   "/missing;G=" + root + "/g;bad;H=;1=" + root);

    EXPECT_EQ(logicalDrives(), "CDF");

    env.set("PELLANOR_DRIVES", "C=" + root + "/missing");
    EXPECT_EQ(logicalDrives(), "");
}

TEST(VolumeSpacePosix, IsWhatStatvfsSaysOfTheMappedRoot) {
    test_support::ScopedTempFolder folder;
    test_support::ScopedEnvironment env;
    env.set("PELLANOR_DRIVES", "D=" + folder.path().string());

    const auto space = volumeSpace("D:\\");
    struct statvfs fs {};
    ASSERT_EQ(::statvfs(folder.path().c_str(), &fs), 0);
    ASSERT_TRUE(space.has_value());
    EXPECT_EQ(space->totalBytes, static_cast<std::uint64_t>(fs.f_blocks) * fs.f_frsize);
    // Other programs write to the same disk meanwhile.
    const double free = static_cast<double>(fs.f_bfree) * fs.f_frsize;
    EXPECT_NEAR(static_cast<double>(space->freeBytes), free, 256.0 * 1024 * 1024);
    EXPECT_GE(space->freeBytes, static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize / 2);
}

TEST(RemovableDrivePosix, FollowsTheKernelsFlagAndNeverCountsMemoryOrMissingDrives) {
    test_support::ScopedTempFolder folder;
    test_support::ScopedEnvironment env;
    env.set("PELLANOR_DRIVES",
            "D=" + folder.path().string() + ";E=/dev/shm;F=" + folder.path().string() + "/missing");
    EXPECT_FALSE(isRemovableDrive("E:"));
    EXPECT_FALSE(isRemovableDrive("F:"));

    struct stat info {};
    ASSERT_EQ(::stat(folder.path().c_str(), &info), 0);
    const std::string device = "/sys/dev/block/" + std::to_string(major(info.st_dev)) + ":" +
                               std::to_string(minor(info.st_dev));
    if (major(info.st_dev) == 0 || !fs::exists(device)) {
        GTEST_SKIP() << "the temporary folder is on no block device";
    }
    const std::string canonical = fs::canonical(device).string();
    if (canonical.find("/usb") != std::string::npos) GTEST_SKIP() << "a USB disk holds /tmp";
    std::string flag = readWord(device + "/removable");
    if (flag.empty()) flag = readWord(device + "/../removable");
    EXPECT_EQ(isRemovableDrive("d"), flag == "1");
}

TEST(MachineFactsPosix, AreWhatProcAndUnameSay) {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kilobytes = 0;
    while (meminfo >> key >> kilobytes && key != "MemTotal:") meminfo.ignore(256, '\n');
    EXPECT_EQ(totalPhysicalMemory(), kilobytes * 1024);

    struct utsname names {};
    ASSERT_EQ(::uname(&names), 0);
    const std::map<std::string, std::uint16_t> known = {{"x86_64", kArchitectureAmd64},
                                                        {"aarch64", kArchitectureArm64},
                                                        {"i686", kArchitectureIntel}};
    const auto found = known.find(names.machine);
    if (found != known.end()) {
        EXPECT_EQ(nativeProcessorArchitecture(), found->second);
    }
    EXPECT_FALSE(isWindowsVersion(6, 1));
    EXPECT_FALSE(isWindowsVersion(10, 0));
}

TEST(PhysicalDisksPosix, AreTheDeviceBackedBlockEntriesWithTheirSizes) {
    std::map<std::string, double> expected;
    for (const auto& entry : fs::directory_iterator("/sys/block")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("loop", 0) == 0 || name.rfind("ram", 0) == 0) continue;
        if (!fs::exists(entry.path() / "device")) continue;
        expected[name] = std::stod(readWord(entry.path().string() + "/size")) * 512;
    }
    const auto disks = physicalDisks(1000);
    ASSERT_TRUE(disks.has_value());
    ASSERT_EQ(disks->size(), expected.size());
    auto next = expected.begin();
    for (const PhysicalDisk& disk : *disks) {
        EXPECT_EQ(disk.sizeBytes, next->second) << next->first;
        if (disk.serialNumber.empty()) {
            EXPECT_EQ(readWord("/sys/block/" + next->first + "/serial"), "") << next->first;
        }
        ++next;
    }
}

}  // namespace
}  // namespace pellanor::platform
