// A child for the registry's concurrent-writer test.
//   registry_child write <key path under HKEY_CURRENT_USER> <name prefix> <count> <start file>
//       waits (a minute at most) until <start file> exists, so that two children start
//       together, then writes values <prefix>0 .. <prefix><count-1>, each in its own call.
//       Exits with 0 when every write succeeded.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;
using namespace pellanor::platform::registry;

int write(const std::string& path, const std::string& prefix, int count, const fs::path& start) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!fs::exists(start) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const Key key = createKey(Root::CurrentUser, path, View::Default);
    if (!key.isOpen()) return 2;
    for (int i = 0; i < count; ++i) {
        const std::string name = prefix + std::to_string(i);
        if (setValue(key, name, ValueType::String, stringData(name)) != kSuccess) return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[1], "write") == 0) {
        return write(argv[2], argv[3], std::stoi(argv[4]), fs::u8path(argv[5]));
    }
    return 100;
}
