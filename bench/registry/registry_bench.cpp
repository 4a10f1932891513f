// Drives the POSIX registry store for bench/registry_bench.sh:
//   registry_bench write <count>   sets values v0 .. v<count-1> one call each
//   registry_bench read <count>    queries them one by one, then enumerates the key
// in HKEY_CURRENT_USER\Software\PellanorBench of the store $PELLANOR_REGISTRY_DIR names, and
// prints the time the calls took (the process start and the first parse included for read).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/registry.h"

namespace {

using namespace pellanor::platform::registry;
constexpr const char* kKeyPath = "Software\\PellanorBench";

int write(int count) {
    const Key key = createKey(Root::CurrentUser, kKeyPath, View::Default);
    if (!key.isOpen()) return 2;
    for (int i = 0; i < count; ++i) {
        const std::string name = "v" + std::to_string(i);
        if (setValue(key, name, ValueType::String, stringData("value number " + name)) !=
            kSuccess) {
            std::fprintf(stderr, "write %s failed: %s\n", name.c_str(), failureReason().c_str());
            return 1;
        }
    }
    return 0;
}

int read(int count) {
    const Key key = openKey(Root::CurrentUser, kKeyPath, View::Default, Access::Read);
    if (!key.isOpen()) return 2;
    Value value;
    for (int i = 0; i < count; ++i) {
        if (queryValue(key, "v" + std::to_string(i), 4096, value) != kSuccess) return 1;
    }
    int listed = 0;
    while (enumValue(key, static_cast<std::uint32_t>(listed), 256, 4096, value) == kSuccess) {
        ++listed;
    }
    return listed == count ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 100;
    const int count = std::stoi(argv[2]);
    const auto start = std::chrono::steady_clock::now();
    int result = 100;
    if (std::strcmp(argv[1], "write") == 0) result = write(count);
    if (std::strcmp(argv[1], "read") == 0) result = read(count);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%s %d values: %.3f s (%.1f us each)\n", argv[1], count, elapsed.count(),
                elapsed.count() * 1e6 / count);
    return result;
}
