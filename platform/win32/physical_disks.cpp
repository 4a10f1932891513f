// Win32: the disk table and the board serial number of the system's management tool. Written to a
// pipe, its text is in the ANSI code page; some builds write UTF-16 with a byte-order mark instead,
// so both are read.
#include "platform/physical_disks.h"

#include <windows.h>

#include "platform/command_line.h"
#include "platform/system_tools.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

std::string decodedOutput(const std::string& bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        std::wstring text((bytes.size() - 2) / 2, L'\0');
        for (std::size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                           static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
        }
        return win32::toUtf8(text);
    }
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    if (units <= 0) return {};
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, text.data(), units);
    return win32::toUtf8(text);
}

}  // namespace

std::optional<std::vector<PhysicalDisk>> physicalDisks(int timeoutMs) {
    const CommandLineRun run =
        runCommandLine(systemToolCommandLine(kDiskDriveCommand), timeoutMs, ChildOutput::Capture);
    if (!run.started || !run.finished) return std::nullopt;
    return parseDiskDriveTable(decodedOutput(run.output));
}

std::string boardSerialNumber(int timeoutMs) {
    const CommandLineRun run =
        runCommandLine(systemToolCommandLine(kBoardSerialCommand), timeoutMs, ChildOutput::Capture);
    if (!run.started || !run.finished) return {};
    return parseBoardSerial(decodedOutput(run.output));
}

}  // namespace pellanor::platform
