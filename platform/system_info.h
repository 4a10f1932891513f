// Facts about the machine and the running system: physical memory, the processor architecture
// of the system (not of this program), and the Windows version test.
#pragma once

#include <cstdint>

namespace pellanor::platform {

// The system's processor architecture numbers (PROCESSOR_ARCHITECTURE_*), used on both
// backends so that callers compare against one set of values.
inline constexpr std::uint16_t kArchitectureIntel = 0;
inline constexpr std::uint16_t kArchitectureArm = 5;
inline constexpr std::uint16_t kArchitectureIa64 = 6;
inline constexpr std::uint16_t kArchitectureAmd64 = 9;
inline constexpr std::uint16_t kArchitectureArm64 = 12;
inline constexpr std::uint16_t kArchitectureUnknown = 0xFFFF;

// Total physical memory in bytes; 0 when the system cannot say. Windows: GlobalMemoryStatusEx.
// POSIX: sysinfo. Does not block.
std::uint64_t totalPhysicalMemory();

// The architecture of the system's processor even when this program is a 32-bit one on a 64-bit
// system. Windows: GetNativeSystemInfo. POSIX: the machine name uname reports, mapped to the
// numbers above (kArchitectureUnknown for others). Does not block.
std::uint16_t nativeProcessorArchitecture();

// True when the system is Windows `major`.`minor`, whatever its service pack (6.1: Windows 7
// and Server 2008 R2). Windows: VerifyVersionInfo, which answers as the program's manifest
// lets it. POSIX: always false. Does not block.
bool isWindowsVersion(unsigned major, unsigned minor);

}  // namespace pellanor::platform
