// The physical disks of the machine: model, serial number and size of each; and the serial
// number of the machine's main board, which the same management tool reports.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellanor::platform {

struct PhysicalDisk {
    std::string model;
    std::string serialNumber;
    double sizeBytes = 0;  // as the system reports it; 0 when it reports none
};

// The command line whose table parseDiskDriveTable reads.
inline constexpr char kDiskDriveCommand[] = "wmic diskdrive get Model, SerialNumber, Size";

// Every physical disk. Windows: runs kDiskDriveCommand and reads its table; a tool that has not
// ended within `timeoutMs` is killed. POSIX: the entries of /sys/block that have a device
// (loop and RAM disks left out), in name order, with the model and serial number the kernel
// knows and the size in 512-byte sectors. nullopt when the tool cannot run or does not finish,
// or /sys cannot be read. Blocks on the child process or the file system.
std::optional<std::vector<PhysicalDisk>> physicalDisks(int timeoutMs);

// The disks in the table kDiskDriveCommand prints (UTF-8 text, any line ends). Columns are
// found by their names in the header line and cut at the header's offsets, since the tool pads
// every column with blanks and leaves an unknown value blank. Rows before the header, blank
// rows and text without a header give nothing; a size that is not a number is 0. Pure.
std::vector<PhysicalDisk> parseDiskDriveTable(std::string_view text);

// The command line whose answer parseBoardSerial reads.
inline constexpr char kBoardSerialCommand[] = "wmic baseboard get SerialNumber";

// The main board's serial number: runs kBoardSerialCommand with wmic found by systemToolPath and
// reads its answer. Empty when the tool cannot start, has not ended within `timeoutMs` (it is then
// killed) or names no serial number. Blocks on the child process.
std::string boardSerialNumber(int timeoutMs);

// The value under the "SerialNumber" header: the first non-blank line after the header line,
// trimmed, whatever it says ("To be filled by O.E.M." included); empty without a header or a
// value. Lines may end in "\r\n". Pure.
std::string parseBoardSerial(std::string_view text);

}  // namespace pellanor::platform
