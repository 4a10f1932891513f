// Named mutexes and registered-message broadcasts between real processes, on both backends.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/dynamic_library.h"
#include "platform/launch.h"
#include "platform/named_event.h"
#include "platform/named_mutex.h"
#include "platform/window_messages.h"
#include "tests/platform/ipc_support.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;
using test_support::eventually;
using test_support::IpcTest;
using test_support::uniqueObjectName;

std::string inQuotes(const std::string& text) { return '"' + text + '"'; }

std::string readLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

class NamedMutex : public IpcTest {
protected:
    // Starts the helper with `command` ("hold" a mutex, set an "event") on `name` and waits for
    // its report of the outcome.
    std::string startHolder(const std::string& name, const std::string& command = "hold") {
        const std::string program = test_support::ipcChildProgram().u8string();
        LaunchRequest request;
        request.program = program;
        request.arguments = {command, name, m_temp.path().u8string()};
        request.commandLine = inQuotes(program) + ' ' + command + ' ' + name + ' ' +
                              inQuotes(m_temp.path().u8string());
        if (!launchProcess(request).started) return "not started";
        eventually([&] { return fs::exists(m_temp.path() / "held.txt"); });
        return readLine(m_temp.path() / "held.txt");
    }

    void releaseHolder() { std::ofstream(m_temp.path() / "release") << "now\n"; }
};

TEST_F(NamedMutex, AnotherProcessHoldsItUntilItEnds) {
    const std::string name = uniqueObjectName("Held");
    ASSERT_EQ(startHolder(name), "Created");
    EXPECT_TRUE(namedMutexExists(name));
    EXPECT_EQ(createNamedMutex(name), MutexCreation::AlreadyExists);
    // Our refused creation closed its handle again and took nothing from the holder.
    EXPECT_TRUE(namedMutexExists(name));

    releaseHolder();
    EXPECT_TRUE(eventually([&] { return !namedMutexExists(name); }));
    EXPECT_EQ(createNamedMutex(name), MutexCreation::Created);
}

TEST_F(NamedMutex, ASecondCreationInTheSameProcessFindsTheFirst) {
    const std::string name = uniqueObjectName("Twice");
    EXPECT_FALSE(namedMutexExists(name));
    EXPECT_EQ(createNamedMutex(name), MutexCreation::Created);
    EXPECT_TRUE(namedMutexExists(name));
    EXPECT_EQ(createNamedMutex(name), MutexCreation::AlreadyExists);
    EXPECT_EQ(createNamedMutex(name), MutexCreation::AlreadyExists);
    EXPECT_TRUE(namedMutexExists(name));
}

TEST_F(NamedMutex, NamesThatLookLikePathsStayDistinct) {
    const std::string stem = uniqueObjectName("Path");
    const std::vector<std::string> names = {stem + "/../x", stem + "%2F..%2Fx", stem + "..x",
                                            stem + " x", stem + "_x"};
    for (const std::string& name : names) {
        EXPECT_EQ(createNamedMutex(name), MutexCreation::Created) << name;
    }
    EXPECT_FALSE(namedMutexExists(stem + "/x"));
    EXPECT_FALSE(namedMutexExists(stem));
}

using NamedEvent = NamedMutex;

TEST_F(NamedEvent, IsSetForEveryProcessOnceOneSetsIt) {
    const std::string name = uniqueObjectName("Ready");
    EXPECT_FALSE(isNamedEventSet(name));
    // Not found is not remembered: the next test looks again.
    ASSERT_EQ(startHolder(name, "event"), "set");
    EXPECT_TRUE(isNamedEventSet(name));
    EXPECT_TRUE(isNamedEventSet(name));

    // Found once, it stays set here after its setter has gone, as an open handle keeps it.
    releaseHolder();
    ASSERT_TRUE(eventually([&] { return !namedMutexExists(name + "Holder"); }));
    EXPECT_TRUE(isNamedEventSet(name));
}

TEST_F(NamedEvent, GoesWithItsLastHolderWhenNobodyElseLooked) {
    const std::string name = uniqueObjectName("Gone");
    const std::string program = test_support::ipcChildProgram().u8string();
    // The helper sets the event and ends at once: the release file is already there.
    releaseHolder();
    const CommandLineRun child = runCommandLine(
        inQuotes(program) + " event " + name + ' ' + inQuotes(m_temp.path().u8string()), 60000,
        ChildOutput::Discard);
    ASSERT_TRUE(child.finished);
    EXPECT_EQ(readLine(m_temp.path() / "held.txt"), "set");
    EXPECT_FALSE(isNamedEventSet(name));
}

TEST_F(NamedEvent, SettingItHereIsSeenHereAndNamesStayApart) {
    const std::string name = uniqueObjectName("Here");
    EXPECT_TRUE(setNamedEvent(name));
    EXPECT_TRUE(setNamedEvent(name));
    EXPECT_TRUE(isNamedEventSet(name));
    EXPECT_FALSE(isNamedEventSet(name + "Other"));
    EXPECT_FALSE(isNamedEventSet(name + "/../" + name));
    EXPECT_FALSE(isNamedEventSet(""));
}

using Broadcasts = IpcTest;

TEST_F(Broadcasts, RegistrationGivesOneIdPerNameInTheRegisteredRange) {
    const std::string name = uniqueObjectName("Register");
    const std::uint32_t id = registerWindowMessage(name);
    EXPECT_GE(id, 0xC000u);
    EXPECT_LE(id, 0xFFFFu);
    EXPECT_EQ(registerWindowMessage(name), id);
    EXPECT_NE(registerWindowMessage(name + "Other"), id);
    EXPECT_EQ(registerWindowMessage(""), 0u);
}

TEST_F(Broadcasts, AnotherProcessesBroadcastArrivesOnceWithItsNameAndParameters) {
    test_support::BroadcastRecorder recorder;
    const auto listener = listenForBroadcasts(recorder.callback());
    ASSERT_NE(listener, nullptr);

    const std::string name = uniqueObjectName("Show");
    const CommandLineRun child = runCommandLine(
        inQuotes(test_support::ipcChildProgram().u8string()) + " broadcast " + name + " 4660 -7",
        60000, ChildOutput::Discard);
    ASSERT_TRUE(child.finished);
    EXPECT_EQ(child.exitCode, 0);

    // Our own marker is queued after the child's message, so once it is here the child's
    // message has had every chance to come twice.
    const std::string marker = uniqueObjectName("Marker");
    ASSERT_TRUE(broadcastWindowMessage(registerWindowMessage(marker), 1, 2));
    ASSERT_TRUE(recorder.awaitName(marker));
    const auto received = recorder.withName(name);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].wparam, 4660u);
    EXPECT_EQ(received[0].lparam, -7);
}

TEST_F(Broadcasts, ADestroyedListenerHearsNothingMore) {
    test_support::BroadcastRecorder kept;
    test_support::BroadcastRecorder dropped;
    const auto keptListener = listenForBroadcasts(kept.callback());
    auto droppedListener = listenForBroadcasts(dropped.callback());
    ASSERT_NE(keptListener, nullptr);
    ASSERT_NE(droppedListener, nullptr);
    droppedListener.reset();

    const std::string name = uniqueObjectName("After");
    ASSERT_TRUE(broadcastWindowMessage(registerWindowMessage(name), 5, 6));
    ASSERT_TRUE(kept.awaitName(name));
    EXPECT_TRUE(dropped.withName(name).empty());
}

TEST(DynamicLibrary, MissingLibrariesAndSymbolsGiveNull) {
    EXPECT_EQ(loadLibrary(sharedLibraryFileName("pellanor-no-such-library")), nullptr);
    EXPECT_EQ(loadLibrary(""), nullptr);
    EXPECT_EQ(librarySymbol(nullptr, "anything"), nullptr);
    freeLibrary(nullptr);
}

}  // namespace
}  // namespace pellanor::platform
