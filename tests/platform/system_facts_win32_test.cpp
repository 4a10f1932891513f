// The Win32 backend against other calls of the system that answer the same questions, under
// Wine where Wine answers them.
#include <gtest/gtest.h>

#include <windows.h>

#include <winioctl.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/drives.h"
#include "platform/physical_disks.h"
#include "platform/system_info.h"

namespace pellanor::platform {
namespace {

TEST(LogicalDrivesWin32, AreTheDriveStringsTheSystemLists) {
    wchar_t buffer[4 * 26 + 1] = {};
    ASSERT_GT(GetLogicalDriveStringsW(static_cast<DWORD>(std::size(buffer)), buffer), 0u);
    std::string expected;
    for (const wchar_t* root = buffer; *root != L'\0'; root += wcslen(root) + 1) {
        expected += static_cast<char>(towupper(root[0]));
    }
    EXPECT_EQ(logicalDrives(), expected);
}

TEST(VolumeSpaceWin32, AgreesWithTheClusterCounts) {
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    ASSERT_TRUE(GetDiskFreeSpaceW(L"C:\\", &sectorsPerCluster, &bytesPerSector, &freeClusters,
                                  &totalClusters));
    const auto space = volumeSpace("C:\\");
    ASSERT_TRUE(space.has_value());
    const double cluster = static_cast<double>(sectorsPerCluster) * bytesPerSector;
    // The cluster counts stop at 2^32 - 1: only a volume below that compares exactly.
    if (totalClusters < 0xFFFFFFFFu) {
        EXPECT_EQ(static_cast<double>(space->totalBytes), totalClusters * cluster);
    }
    if (freeClusters < 0xFFFFFFFFu) {
        EXPECT_NEAR(static_cast<double>(space->freeBytes), freeClusters * cluster, 1e8);
    }
    std::uint32_t error = 0;
    EXPECT_EQ(volumeSpace("\\\\?\\Volume{00000000-0000-0000-0000-000000000000}\\", &error),
              std::nullopt);
    EXPECT_NE(error, 0u);
}

// The logon sets SystemDrive from the same Windows folder; it is a second witness, not the source.
TEST(SystemDriveWin32, IsTheDriveTheEnvironmentNamesAndAFixedOne) {
    const char* named = std::getenv("SystemDrive");
    ASSERT_NE(named, nullptr);
    const std::string root = systemDriveRoot();
    ASSERT_EQ(root.size(), 3u) << root;
    EXPECT_EQ(root[0], static_cast<char>(std::toupper(static_cast<unsigned char>(named[0]))));
    EXPECT_EQ(root.substr(1), ":\\");
    EXPECT_EQ(driveType(root), DriveType::Fixed);
    EXPECT_TRUE(volumeSpace(root).has_value());
}

TEST(RemovableDriveWin32, IsFalseForTheSystemDrive) {
    HANDLE volume = CreateFileW(L"\\\\.\\C:", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    unsigned char extents[224];
    DWORD returned = 0;
    const bool answered = DeviceIoControl(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0,
                                          extents, sizeof extents, &returned, nullptr);
    if (volume != INVALID_HANDLE_VALUE) CloseHandle(volume);
    EXPECT_FALSE(isRemovableDrive("c:\\"));
    if (!answered) GTEST_SKIP() << "the volume does not answer its disk-extent query (Wine)";
}

TEST(MachineFactsWin32, AgreeWithTheEnvironmentAndTheVersionTheProgramSees) {
    const char* native = std::getenv("PROCESSOR_ARCHITEW6432");
    if (native == nullptr) native = std::getenv("PROCESSOR_ARCHITECTURE");
    ASSERT_NE(native, nullptr);
    const std::map<std::string, std::uint16_t> known = {
        {"AMD64", kArchitectureAmd64}, {"ARM64", kArchitectureArm64}, {"x86", kArchitectureIntel}};
    const auto found = known.find(native);
    ASSERT_NE(found, known.end()) << native;
    EXPECT_EQ(nativeProcessorArchitecture(), found->second);

    // Both calls answer as the program's manifest lets them, so they agree with each other.
    OSVERSIONINFOW seen{};
    seen.dwOSVersionInfoSize = sizeof seen;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(GetVersionExW(&seen));
#pragma GCC diagnostic pop
    EXPECT_TRUE(isWindowsVersion(seen.dwMajorVersion, seen.dwMinorVersion));
    EXPECT_FALSE(isWindowsVersion(seen.dwMajorVersion, seen.dwMinorVersion + 1));
    EXPECT_FALSE(isWindowsVersion(seen.dwMajorVersion + 1, seen.dwMinorVersion));

    MEMORYSTATUS legacy{};
    legacy.dwLength = sizeof legacy;
    GlobalMemoryStatus(&legacy);
    // The old call saturates at 4 GiB less one byte for a 32-bit program.
    if (legacy.dwTotalPhys < static_cast<SIZE_T>(-1) && legacy.dwTotalPhys < 0xFFFFFFFFu) {
        EXPECT_EQ(totalPhysicalMemory(), legacy.dwTotalPhys);
    } else {
        EXPECT_GE(totalPhysicalMemory(), legacy.dwTotalPhys);
    }
}

TEST(PhysicalDisksWin32, ComeFromTheToolsTableWithTheirSizes) {
    const auto disks = physicalDisks(60000);
    if (!disks || disks->empty()) {
        GTEST_SKIP() << "no disk table: Wine's wmic prints only the Model column of diskdrive";
    }
    for (const PhysicalDisk& disk : *disks) EXPECT_GT(disk.sizeBytes, 0) << disk.model;
}

}  // namespace
}  // namespace pellanor::platform
