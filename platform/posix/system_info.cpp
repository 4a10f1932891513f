// POSIX: memory from sysinfo, the architecture from uname's machine name; no Windows version.
#include "platform/system_info.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>

#include <cstring>

namespace pellanor::platform {

std::uint64_t totalPhysicalMemory() {
    struct sysinfo info {};
    if (::sysinfo(&info) != 0) return 0;
    return static_cast<std::uint64_t>(info.totalram) * info.mem_unit;
}

std::uint16_t nativeProcessorArchitecture() {
    struct utsname names {};
    if (::uname(&names) != 0) return kArchitectureUnknown;
    static const struct {
        const char* machine;
        std::uint16_t architecture;
    } kMachines[] = {{"x86_64", kArchitectureAmd64}, {"aarch64", kArchitectureArm64},
                     {"ia64", kArchitectureIa64},    {"i386", kArchitectureIntel},
                     {"i486", kArchitectureIntel},   {"i586", kArchitectureIntel},
                     {"i686", kArchitectureIntel},   {"armv7l", kArchitectureArm},
                     {"armv6l", kArchitectureArm}};
    for (const auto& known : kMachines) {
        if (std::strcmp(names.machine, known.machine) == 0) return known.architecture;
    }
    return kArchitectureUnknown;
}

bool isWindowsVersion(unsigned, unsigned) { return false; }

}  // namespace pellanor::platform
