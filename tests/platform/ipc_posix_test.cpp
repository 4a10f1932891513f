// The POSIX stand-ins of named objects: lock files and sockets in the objects folder, crashed
// holders, and the error box through the desktop's dialog tool.
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/named_mutex.h"
#include "platform/window_messages.h"
#include "tests/platform/ipc_support.h"

extern char** environ;

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;
using test_support::eventually;
using test_support::IpcTest;
using test_support::uniqueObjectName;

std::vector<fs::path> entries(const fs::path& folder) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder)) found.push_back(entry.path());
    return found;
}

using PosixNamedMutex = IpcTest;

TEST_F(PosixNamedMutex, AKilledHolderReleasesIt) {
    const std::string name = uniqueObjectName("Killed");
    const std::string program = test_support::ipcChildProgram().string();
    const std::string folder = m_temp.path().string();
    std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>("hold"),
                               const_cast<char*>(name.c_str()), const_cast<char*>(folder.c_str()),
                               nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    EXPECT_TRUE(eventually([&] { return fs::exists(m_temp.path() / "held.txt"); }));
    EXPECT_TRUE(namedMutexExists(name));

    ASSERT_EQ(kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_FALSE(namedMutexExists(name));
    EXPECT_EQ(createNamedMutex(name), MutexCreation::Created);
}

TEST_F(PosixNamedMutex, LockFilesStayInsideTheObjectsFolder) {
    const std::string stem = uniqueObjectName("Inside");
    EXPECT_EQ(createNamedMutex(stem + "/../../escaped"), MutexCreation::Created);
    EXPECT_EQ(createNamedMutex("../" + stem), MutexCreation::Created);
    EXPECT_EQ(entries(m_temp.path()), std::vector<fs::path>{m_objects});
    for (const fs::path& file : entries(m_objects)) EXPECT_TRUE(fs::is_regular_file(file)) << file;
}

TEST_F(PosixNamedMutex, AnObjectOfAnotherKindOrAnOpenFolderFails) {
    const std::string name = uniqueObjectName("Kind");
    fs::create_directory(m_objects / (name + ".mutex"));
    EXPECT_EQ(createNamedMutex(name), MutexCreation::Failed);
    EXPECT_FALSE(namedMutexExists(name));

    // A folder others may write to could be used to take our names or plant links.
    fs::permissions(m_objects, fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::add);
    EXPECT_EQ(createNamedMutex(uniqueObjectName("Open")), MutexCreation::Failed);
    EXPECT_EQ(listenForBroadcasts([](const std::string&, std::uintptr_t, std::intptr_t) {}),
              nullptr);
}

TEST_F(PosixNamedMutex, TestingForOneCreatesNothing) {
    m_environment.set("PELLANOR_OBJECTS_DIR", (m_temp.path() / "absent").string());
    const std::string name = uniqueObjectName("Probe");
    EXPECT_FALSE(namedMutexExists(name));
    EXPECT_TRUE(broadcastWindowMessage(registerWindowMessage(name), 0, 0));
    EXPECT_EQ(entries(m_temp.path()), std::vector<fs::path>{m_objects});
}

using PosixBroadcasts = IpcTest;

TEST_F(PosixBroadcasts, StaleSocketsAreRemovedAndDoNotFailTheBroadcast) {
    test_support::BroadcastRecorder recorder;
    const auto listener = listenForBroadcasts(recorder.callback());
    ASSERT_NE(listener, nullptr);
    // A listener that died without cleaning up leaves its socket file behind.
    const fs::path stale = m_objects / "broadcast" / "999999999-1.sock";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, stale.c_str());
    const int socket = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    ASSERT_EQ(bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    close(socket);
    // Not a socket: left alone.
    std::ofstream(m_objects / "broadcast" / "note.sock") << "x";

    const std::string name = uniqueObjectName("Stale");
    EXPECT_TRUE(broadcastWindowMessage(registerWindowMessage(name), 1, 1));
    EXPECT_TRUE(recorder.awaitName(name));
    EXPECT_FALSE(fs::exists(fs::symlink_status(stale)));
    EXPECT_TRUE(fs::exists(m_objects / "broadcast" / "note.sock"));
}

TEST_F(PosixBroadcasts, ADestroyedListenerTakesItsSocketAlong) {
    auto listener = listenForBroadcasts([](const std::string&, std::uintptr_t, std::intptr_t) {});
    ASSERT_NE(listener, nullptr);
    EXPECT_EQ(entries(m_objects / "broadcast").size(), 1u);
    listener.reset();
    EXPECT_TRUE(entries(m_objects / "broadcast").empty());
}

TEST_F(PosixBroadcasts, OnlyMessagesRegisteredHereCanTravel) {
    EXPECT_FALSE(broadcastWindowMessage(0x0010, 0, 0));
    EXPECT_FALSE(broadcastWindowMessage(0xFFFF, 0, 0));
    EXPECT_EQ(registerWindowMessage("PellanorTestCase"), registerWindowMessage("pellanortestcase"));
    EXPECT_EQ(registerWindowMessage(std::string(256, 'n')), 0u);
}

TEST(PosixDynamicLibrary, LoadsByFileNameAndFindsExports) {
    EXPECT_EQ(sharedLibraryFileName("sciter"), "libsciter.so");
    void* library = loadLibrary("libc.so.6");
    ASSERT_NE(library, nullptr);
    EXPECT_NE(librarySymbol(library, "getpid"), nullptr);
    EXPECT_EQ(librarySymbol(library, "pellanor_no_such_symbol"), nullptr);
    freeLibrary(library);
}

class PosixErrorMessage : public IpcTest {
protected:
    // A fake zenity first on PATH that writes its arguments, one a line, to args.txt.
    void SetUp() override {
        IpcTest::SetUp();
        const fs::path bin = m_temp.path() / "bin";
        fs::create_directory(bin);
        std::ofstream(bin / "zenity") << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; "
                                         "done > '"
                                      << (m_temp.path() / "args.txt").string() << "'\n";
        fs::permissions(bin / "zenity", fs::perms::owner_all);
        const char* path = std::getenv("PATH");
        m_environment.set("PATH", bin.string() + ':' + (path != nullptr ? path : ""));
        m_environment.unset("WAYLAND_DISPLAY");
    }

    std::vector<std::string> toolArguments() {
        std::ifstream in(m_temp.path() / "args.txt");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

TEST_F(PosixErrorMessage, ShowsTheDialogToolWithTextAndCaption) {
    m_environment.set("DISPLAY", ":99");
    testing::internal::CaptureStderr();
    showErrorMessage("Engine <b>&</b> gone", "Error");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Engine <b>&</b> gone\n");
    EXPECT_EQ(toolArguments(),
              (std::vector<std::string>{"--error", "--no-markup", "--title", "Error", "--text",
                                        "Engine <b>&</b> gone"}));
}

TEST_F(PosixErrorMessage, WithoutADisplayOnlyStandardErrorIsWritten) {
    m_environment.unset("DISPLAY");
    testing::internal::CaptureStderr();
    showErrorMessage("No engine", "Error");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: No engine\n");
    EXPECT_FALSE(fs::exists(m_temp.path() / "args.txt"));
}

}  // namespace
}  // namespace pellanor::platform
