// A child for the named-object tests.
//   ipc_child hold <mutex name> <folder>   creates the mutex, writes the outcome to
//                                          <folder>/held.txt, then holds the mutex until
//                                          <folder>/release exists (two minutes at most);
//   ipc_child event <event name> <folder>  sets the event and holds the mutex <event name>Holder
//                                          (which tells the parent it is still alive), writes
//                                          "set" or "failed" to <folder>/held.txt, then keeps both
//                                          until <folder>/release exists (two minutes at most);
//   ipc_child broadcast <message name> <wparam> <lparam>
//                                          registers and broadcasts the message; exits with 0
//                                          when it was posted.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/named_event.h"
#include "platform/named_mutex.h"
#include "platform/window_messages.h"

namespace {

namespace fs = std::filesystem;
using namespace pellanor::platform;

const char* outcomeName(MutexCreation outcome) {
    switch (outcome) {
        case MutexCreation::Created:
            return "Created";
        case MutexCreation::AlreadyExists:
            return "AlreadyExists";
        case MutexCreation::Failed:
            break;
    }
    return "Failed";
}

// Written aside and renamed, so the parent never reads half a line; then waits for leave to go.
int reportAndWait(const char* outcome, const fs::path& folder) {
    std::ofstream(folder / "held.tmp") << outcome << '\n';
    fs::rename(folder / "held.tmp", folder / "held.txt");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!fs::exists(folder / "release") && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

int hold(const std::string& name, const fs::path& folder) {
    return reportAndWait(outcomeName(createNamedMutex(name)), folder);
}

int setEvent(const std::string& name, const fs::path& folder) {
    createNamedMutex(name + "Holder");
    return reportAndWait(setNamedEvent(name) ? "set" : "failed", folder);
}

int broadcast(const std::string& name, const std::string& wparam, const std::string& lparam) {
    const std::uint32_t message = registerWindowMessage(name);
    if (message == 0) return 2;
    return broadcastWindowMessage(message, std::stoull(wparam), std::stoll(lparam)) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "hold") == 0) return hold(argv[2], fs::u8path(argv[3]));
    if (argc == 4 && std::strcmp(argv[1], "event") == 0) {
        return setEvent(argv[2], fs::u8path(argv[3]));
    }
    if (argc == 5 && std::strcmp(argv[1], "broadcast") == 0) {
        return broadcast(argv[2], argv[3], argv[4]);
    }
    return 100;
}
