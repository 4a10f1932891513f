// Shared by the named-object tests of both backends: the helper program, unique object names,
// a private objects folder and a recorder of received broadcasts.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/executable.h"
#include "platform/window_messages.h"
#include "tests/platform/scoped_environment.h"
#include "tests/platform/scoped_temp_folder.h"

namespace pellanor::test_support {

// The helper is built beside the test.
inline std::filesystem::path ipcChildProgram() {
    const auto folder = std::filesystem::u8path(platform::executablePath()).parent_path();
    for (const char* name : {"ipc_child.exe", "ipc_child"}) {
        if (std::filesystem::exists(folder / name)) return folder / name;
    }
    return {};
}

// Windows names are system-wide and outlive nothing but their holders; a random part keeps
// runs that overlap apart.
inline std::string uniqueObjectName(const std::string& stem) {
    static std::mt19937_64 random(std::random_device{}());
    return "PellanorTest" + stem + std::to_string(random() % 1000000000);
}

template <typename Condition>
bool eventually(Condition condition, std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A temp folder, and inside it the private objects folder the POSIX stand-in is pointed at.
class IpcTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.valid());
        m_objects = m_temp.path() / "objects";
        std::filesystem::create_directory(m_objects);
        std::filesystem::permissions(m_objects, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
        m_environment.set("PELLANOR_OBJECTS_DIR", m_objects.u8string());
    }

    ScopedTempFolder m_temp;
    std::filesystem::path m_objects;
    ScopedEnvironment m_environment;
};

struct ReceivedBroadcast {
    std::string name;
    std::uintptr_t wparam;
    std::intptr_t lparam;
};

// Collects what a listener hears; shared with the listener's thread.
class BroadcastRecorder final {
public:
    auto callback() {
        return [this](const std::string& name, std::uintptr_t wparam, std::intptr_t lparam) {
            const std::lock_guard<std::mutex> guard(m_lock);
            m_received.push_back({name, wparam, lparam});
            m_changed.notify_all();
        };
    }

    // Waits until a message of that name has come; false after a minute.
    bool awaitName(const std::string& name) {
        std::unique_lock<std::mutex> guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::seconds(60),
                                  [&] { return !withNameLocked(name).empty(); });
    }

    std::vector<ReceivedBroadcast> withName(const std::string& name) {
        const std::lock_guard<std::mutex> guard(m_lock);
        return withNameLocked(name);
    }

    std::size_t count() {
        const std::lock_guard<std::mutex> guard(m_lock);
        return m_received.size();
    }

private:
    std::vector<ReceivedBroadcast> withNameLocked(const std::string& name) const {
        std::vector<ReceivedBroadcast> found;
        for (const ReceivedBroadcast& message : m_received) {
            if (message.name == name) found.push_back(message);
        }
        return found;
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<ReceivedBroadcast> m_received;
};

}  // namespace pellanor::test_support
