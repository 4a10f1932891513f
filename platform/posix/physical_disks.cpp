// POSIX: the disks are the entries of /sys/block that stand for a device; loop devices and RAM
// disks are files and memory, not disks, and virtual devices (zram, device mapper) have no
// "device" link.
#include "platform/physical_disks.h"
#include "platform/command_line.h"
#include "platform/system_tools.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace pellanor::platform {
namespace {

constexpr char kBlockFolder[] = "/sys/block/";
// /sys/block/<name>/size counts 512-byte sectors whatever the disk's own sector size.
constexpr double kSectorBytes = 512;

std::string firstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    const std::size_t end = line.find_last_not_of(" \t\r");
    return end == std::string::npos ? std::string() : line.substr(0, end + 1);
}

bool isDisk(const std::string& name) {
    if (name.empty() || name[0] == '.') return false;
    if (name.rfind("loop", 0) == 0 || name.rfind("ram", 0) == 0) return false;
    struct stat info {};
    return ::stat((kBlockFolder + name + "/device").c_str(), &info) == 0;
}

PhysicalDisk diskNamed(const std::string& name) {
    const std::string folder = kBlockFolder + name;
    PhysicalDisk disk;
    disk.model = firstLine(folder + "/device/model");
    // SCSI and NVMe disks keep the serial number with the device, virtio disks with the block.
    disk.serialNumber = firstLine(folder + "/device/serial");
    if (disk.serialNumber.empty()) disk.serialNumber = firstLine(folder + "/serial");
    const std::string sectors = firstLine(folder + "/size");
    char* end = nullptr;
    const unsigned long long count = std::strtoull(sectors.c_str(), &end, 10);
    if (!sectors.empty() && *end == '\0') disk.sizeBytes = count * kSectorBytes;
    return disk;
}

}  // namespace

std::optional<std::vector<PhysicalDisk>> physicalDisks(int) {
    namespace fs = std::filesystem;
    std::error_code error;
    std::vector<std::string> names;
    for (fs::directory_iterator it(kBlockFolder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (isDisk(name)) names.push_back(name);
    }
    if (error) return std::nullopt;
    std::sort(names.begin(), names.end());
    std::vector<PhysicalDisk> disks;
    for (const std::string& name : names) disks.push_back(diskNamed(name));
    return disks;
}

// No board serial is readable here without root (/sys/class/dmi/id/board_serial is root's
// only), so the stand-in asks the "wmic" that systemToolPath finds, as the Windows tool is asked.
std::string boardSerialNumber(int timeoutMs) {
    const CommandLineRun run =
        runCommandLine(systemToolCommandLine(kBoardSerialCommand), timeoutMs, ChildOutput::Capture);
    if (!run.started || !run.finished) return {};
    return parseBoardSerial(run.output);
}

}  // namespace pellanor::platform
