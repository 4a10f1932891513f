// The POSIX stand-in's rule for shared temporary folders, where nothing locks a file in use:
// what other users, running processes and services have there must survive an emptying.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/tree_removal.h"
#include "tests/platform/workspace.h"

namespace pellanor::platform {
namespace {

namespace fs = std::filesystem;

using test_support::Workspace;

constexpr uid_t kNobody = 65534;

// A shared folder of our own: sticky and writable by everyone, like /tmp.
void makeShared(const Workspace& space, const std::string& folder) {
    fs::create_directories(space.path(folder));
    fs::permissions(space.path(folder), fs::perms::all | fs::perms::sticky_bit);
}

// A child process that holds one file open, one file only mapped (its descriptor closed) and
// one folder as its working folder, until it is killed.
class Holder final {
public:
    Holder(const fs::path& open, const fs::path& mapped, const fs::path& workFolder) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            const int held = ::open(open.c_str(), O_RDONLY);
            const int map = ::open(mapped.c_str(), O_RDONLY);
            const bool ok = held >= 0 && map >= 0 &&
                            ::mmap(nullptr, 1, PROT_READ, MAP_SHARED, map, 0) != MAP_FAILED &&
                            ::close(map) == 0 && ::chdir(workFolder.c_str()) == 0;
            const char answer = ok ? 'y' : 'n';
            if (::write(ready[1], &answer, 1) != 1) ::_exit(1);
            for (;;) ::pause();
        }
        ::close(ready[1]);
        char answer = 'n';
        m_ready = m_pid > 0 && ::read(ready[0], &answer, 1) == 1 && answer == 'y';
        ::close(ready[0]);
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    ~Holder() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    bool ready() const { return m_ready; }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};

bool makeSocket(const fs::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof address.sun_path) return false;
    std::strcpy(address.sun_path, path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool ok =
        fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    // Closed again: the socket file must survive for what it is, not for being held.
    if (fd >= 0) ::close(fd);
    return ok;
}

TEST(SharedFolder, KeepsWhatProcessesHoldAndServicesOwnAndEmptiesTheRest) {
    Workspace space;
    makeShared(space, "tree");
    space.write("tree/plain.txt", 1);
    space.write("tree/sub/deeper/x.txt", 1);
    space.write("tree/own/held.txt", 1);
    space.write("tree/own/loose.txt", 1);
    space.write("tree/mapped.so", 4096);
    space.write("tree/work/inside.txt", 1);
    space.write("tree/systemd-private-0123-demo.service-a1/tmp/x", 1);
    space.write("tree/.X99-lock", 1);
    space.write("tree/krb5cc_1000", 1);
    ASSERT_EQ(::mkfifo(space.path("tree/fifo").c_str(), 0600), 0);
    ASSERT_TRUE(makeSocket(space.path("tree/socket")));
    const Holder holder(space.path("tree/own/held.txt"), space.path("tree/mapped.so"),
                        space.path("tree/work"));
    ASSERT_TRUE(holder.ready());

    const RemovalReport report = clearFolder(space.text("tree"));
    for (const char* kept : {"tree/own/held.txt", "tree/mapped.so", "tree/work/inside.txt",
                             "tree/systemd-private-0123-demo.service-a1/tmp/x", "tree/.X99-lock",
                             "tree/krb5cc_1000", "tree/fifo", "tree/socket"}) {
        EXPECT_TRUE(space.exists(kept)) << kept;
    }
    for (const char* gone : {"tree/plain.txt", "tree/sub", "tree/own/loose.txt"}) {
        EXPECT_FALSE(space.exists(gone)) << gone;
    }
    EXPECT_EQ(report.leftCount, 8);
    EXPECT_TRUE(space.exists("sentinel/keep.txt"));
}

TEST(SharedFolder, RemovesOnlyEntriesOfTheEffectiveUserAndNeverEntersAnotherUsersTree) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
    Workspace space;
    makeShared(space, "tree");
    space.write("tree/mine.txt", 1);
    space.write("tree/theirs.txt", 1);
    space.write("tree/their-folder/root-owned.txt", 1);
    space.write("tree/mine-folder/theirs-inside.txt", 1);
    ASSERT_EQ(::lchown(space.path("tree/theirs.txt").c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::lchown(space.path("tree/their-folder").c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::lchown(space.path("tree/mine-folder/theirs-inside.txt").c_str(), kNobody, kNobody),
              0);

    const RemovalReport report = clearFolder(space.text("tree"));
    EXPECT_FALSE(space.exists("tree/mine.txt"));
    EXPECT_TRUE(space.exists("tree/theirs.txt"));
    EXPECT_TRUE(space.exists("tree/their-folder/root-owned.txt"));
    EXPECT_TRUE(space.exists("tree/mine-folder/theirs-inside.txt"));
    EXPECT_EQ(report.leftCount, 3);
    EXPECT_TRUE(space.exists("sentinel/keep.txt"));
}

TEST(SharedFolder, AppliesWhenTheTreeRemovedLiesInsideOneAndKeepsTheSharedFolder) {
    Workspace space;
    makeShared(space, "shared");
    space.write("shared/tree/plain.txt", 1);
    ASSERT_TRUE(makeSocket(space.path("shared/tree/socket")));

    const RemovalReport report = removeTree(space.text("shared/tree"));
    EXPECT_EQ(report.leftCount, 1);
    EXPECT_EQ(report.firstLeft.at(0), space.text("shared/tree/socket"));
    EXPECT_FALSE(space.exists("shared/tree/plain.txt"));

    // The shared folder itself is emptied, never removed.
    EXPECT_EQ(removeTree(space.text("shared")).leftCount, 2);
    EXPECT_TRUE(space.exists("shared/tree/socket"));
    space.write("shared/file.txt", 1);
    ASSERT_EQ(::unlink(space.path("shared/tree/socket").c_str()), 0);
    EXPECT_EQ(removeTree(space.text("shared")).leftCount, 1);
    EXPECT_TRUE(space.exists("shared"));
    EXPECT_FALSE(space.exists("shared/tree"));
    EXPECT_FALSE(space.exists("shared/file.txt"));
}

TEST(RemoveTree, NeverEntersOrRemovesAMountPoint) {
    Workspace space;
    space.write("tree/mnt/.keep", 0);
    if (::mount("pellanor-test", space.path("tree/mnt").c_str(), "tmpfs", 0, nullptr) != 0) {
        GTEST_SKIP() << "this process may not mount a file system: " << std::strerror(errno);
    }
    space.write("tree/mnt/on-the-mount.txt", 1);
    EXPECT_TRUE(leadsElsewhere(space.text("tree/mnt")));

    const RemovalReport report = removeTree(space.text("tree"));
    const bool survived = space.exists("tree/mnt/on-the-mount.txt");
    ::umount2(space.path("tree/mnt").c_str(), MNT_DETACH);
    EXPECT_TRUE(survived);
    EXPECT_EQ(report.leftCount, 1);
    EXPECT_EQ(report.firstLeft.at(0), space.text("tree/mnt"));
}

TEST(RemoveTree, OpensUpAFolderOfThisUserThatItMayNotReadOrWrite) {
    Workspace space;
    space.write("tree/locked/inner/x.txt", 1);
    fs::permissions(space.path("tree/locked/inner"), fs::perms::none);
    fs::permissions(space.path("tree/locked"), fs::perms::owner_read | fs::perms::owner_exec);

    EXPECT_TRUE(removeTree(space.text("tree")).complete());
    EXPECT_FALSE(space.exists("tree"));
    EXPECT_TRUE(space.exists("sentinel/keep.txt"));
}

}  // namespace
}  // namespace pellanor::platform
