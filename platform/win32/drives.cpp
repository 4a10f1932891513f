// Win32: the system's drive type, letters and volume space; whether a drive's disk is on USB or
// removable, and its disk's serial number, from the volume's disk extents and each disk's storage
// descriptor.
#include "platform/drives.h"

#include <windows.h>

#include <winioctl.h>

#include <cstddef>
#include <cwctype>
#include <vector>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

using win32::ScopedHandle;

// Room for nine extents, which a volume outgrows only when spanned over more disks than that.
constexpr DWORD kExtentsBufferBytes = 224;
// Beyond any real volume or descriptor: an answer this large is not believed.
constexpr DWORD kMaxExtents = 4096;
constexpr DWORD kMaxDescriptorBytes = 64 * 1024;

// A buffer aligned for the structures the device answers with.
using DeviceBuffer = std::vector<ULONGLONG>;

DeviceBuffer deviceBuffer(DWORD bytes) { return DeviceBuffer((bytes + 7) / 8, 0); }

// No access rights: device queries need none, and no administrator is needed for them.
ScopedHandle openDevice(const std::wstring& name) {
    return ScopedHandle(CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
}

// The disk numbers of the volume's extents; empty when the volume cannot say.
std::vector<DWORD> extentDisks(HANDLE volume) {
    DWORD bytes = kExtentsBufferBytes;
    for (int attempt = 0; attempt < 2; ++attempt) {
        DeviceBuffer buffer = deviceBuffer(bytes);
        const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer.data());
        DWORD returned = 0;
        if (DeviceIoControl(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, buffer.data(),
                            bytes, &returned, nullptr)) {
            const std::size_t room =
                (bytes - offsetof(VOLUME_DISK_EXTENTS, Extents)) / sizeof(DISK_EXTENT);
            std::vector<DWORD> disks;
            for (DWORD i = 0; i < extents->NumberOfDiskExtents && i < room; ++i) {
                disks.push_back(extents->Extents[i].DiskNumber);
            }
            return disks;
        }
        // A volume over more disks says how many there are; ask once more with room for all.
        const DWORD count = extents->NumberOfDiskExtents;
        if (GetLastError() != ERROR_MORE_DATA || count == 0 || count > kMaxExtents) break;
        bytes = static_cast<DWORD>(offsetof(VOLUME_DISK_EXTENTS, Extents) +
                                   count * sizeof(DISK_EXTENT));
    }
    return {};
}

// The storage device descriptor of a disk, sized as the driver says; empty when it cannot be
// read or is too short for the fields we read.
DeviceBuffer storageDescriptor(HANDLE disk) {
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    STORAGE_DESCRIPTOR_HEADER header{};
    DWORD returned = 0;
    if (!DeviceIoControl(disk, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &header,
                         sizeof header, &returned, nullptr)) {
        return {};
    }
    // The driver states the size; one too short to hold the fields read is not read past its end.
    constexpr DWORD kNeeded = offsetof(STORAGE_DEVICE_DESCRIPTOR, RawPropertiesLength);
    if (header.Size < kNeeded || header.Size > kMaxDescriptorBytes) return {};
    DeviceBuffer buffer = deviceBuffer(header.Size);
    if (!DeviceIoControl(disk, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, buffer.data(),
                         header.Size, &returned, nullptr) ||
        returned < kNeeded) {
        return {};
    }
    buffer.resize((returned + 7) / 8);
    return buffer;
}

// Latin-1 bytes up to the terminating zero (or the end of what the driver returned), as UTF-8,
// without the blanks drivers pad serial numbers with.
std::string latin1Field(const DeviceBuffer& buffer, DWORD offset) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
    const std::size_t size = buffer.size() * sizeof(ULONGLONG);
    std::string text;
    for (std::size_t i = offset; i < size && bytes[i] != 0; ++i) {
        if (bytes[i] < 0x80) {
            text += static_cast<char>(bytes[i]);
        } else {
            text += static_cast<char>(0xC0 | (bytes[i] >> 6));
            text += static_cast<char>(0x80 | (bytes[i] & 0x3F));
        }
    }
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Some drivers fill in the serial number only for a handle with read and write access, which
// needs an administrator; without one the query is still worth asking.
HANDLE openDiskForSerial(const std::wstring& name) {
    const HANDLE disk = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
    if (disk != INVALID_HANDLE_VALUE) return disk;
    return CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

bool diskIsRemovable(DWORD diskNumber) {
    const ScopedHandle disk = openDevice(L"\\\\.\\PhysicalDrive" + std::to_wstring(diskNumber));
    if (!disk.valid()) return false;
    const DeviceBuffer buffer = storageDescriptor(disk.get());
    if (buffer.empty()) return false;
    const auto* descriptor = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer.data());
    return descriptor->BusType == BusTypeUsb || descriptor->RemovableMedia;
}

}  // namespace

DriveType driveType(const std::string& root) {
    switch (GetDriveTypeW(win32::toWide(root).c_str())) {
        case DRIVE_NO_ROOT_DIR:
            return DriveType::NoRootDirectory;
        case DRIVE_REMOVABLE:
            return DriveType::Removable;
        case DRIVE_FIXED:
            return DriveType::Fixed;
        case DRIVE_REMOTE:
            return DriveType::Remote;
        case DRIVE_CDROM:
            return DriveType::CdRom;
        case DRIVE_RAMDISK:
            return DriveType::RamDisk;
        default:
            return DriveType::Unknown;
    }
}

// The shared Windows folder, not a per-user one a terminal server may hand to older programs.
std::string systemDriveRoot() {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH);
    if (length >= 3 && length < MAX_PATH && folder[0] < 0x80 && std::iswalpha(folder[0]) &&
        folder[1] == L':' && (folder[2] == L'\\' || folder[2] == L'/')) {
        return std::string(1, static_cast<char>(std::towupper(folder[0]))) + ":\\";
    }
    return "C:\\";
}

std::string logicalDrives() {
    const DWORD mask = GetLogicalDrives();
    std::string letters;
    for (int i = 0; i < 26; ++i) {
        if (mask & (1u << i)) letters += static_cast<char>('A' + i);
    }
    return letters;
}

std::optional<VolumeSpace> volumeSpace(const std::string& path, std::uint32_t* errorCode) {
    // The wide call: the seam's UTF-8 can name every folder, the ANSI code page cannot.
    ULARGE_INTEGER available{}, total{}, free{};
    if (!GetDiskFreeSpaceExW(win32::toWide(path).c_str(), &available, &total, &free)) {
        if (errorCode != nullptr) *errorCode = GetLastError();
        return std::nullopt;
    }
    return VolumeSpace{free.QuadPart, total.QuadPart};
}

bool isRemovableDrive(const std::string& drive) {
    const auto letter = driveLetterOf(drive);
    if (!letter) return false;
    const ScopedHandle volume = openDevice(std::wstring(L"\\\\.\\") + wchar_t(*letter) + L':');
    if (!volume.valid()) return false;
    for (const DWORD diskNumber : extentDisks(volume.get())) {
        if (diskIsRemovable(diskNumber)) return true;
    }
    return false;
}

std::string driveDiskSerial(const std::string& drive) {
    const auto letter = driveLetterOf(drive);
    if (!letter) return {};
    const ScopedHandle volume = openDevice(std::wstring(L"\\\\.\\") + wchar_t(*letter) + L':');
    if (!volume.valid()) return {};
    const std::vector<DWORD> disks = extentDisks(volume.get());
    if (disks.empty()) return {};
    const std::wstring name = L"\\\\.\\PhysicalDrive" + std::to_wstring(disks.front());
    const ScopedHandle disk(openDiskForSerial(name));
    if (!disk.valid()) return {};
    const DeviceBuffer buffer = storageDescriptor(disk.get());
    if (buffer.empty()) return {};
    const auto* descriptor = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer.data());
    if (descriptor->SerialNumberOffset == 0) return {};
    return latin1Field(buffer, descriptor->SerialNumberOffset);
}

}  // namespace pellanor::platform
