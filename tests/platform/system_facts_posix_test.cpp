// The POSIX stand-ins against what the kernel says through /proc, /sys and uname.
#include <gtest/gtest.h>

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
    // Memory and missing folders have no disk that could be unplugged.
    env.set("PELLANOR_DRIVES", "E=/dev/shm;F=" + root + "/missing");
    EXPECT_FALSE(isRemovableDrive("E:"));
    EXPECT_FALSE(isRemovableDrive("F:"));

    env.set("PELLANOR_DRIVES", "C=" + root + "/missing");
    EXPECT_EQ(logicalDrives(), "");
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
        ++next;
    }
}

}  // namespace
}  // namespace pellanor::platform
