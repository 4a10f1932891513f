// POSIX: programs start through posix_spawn; the helpers of child_process.h live here too.
#include "platform/launch.h"
#include "platform/posix/fd.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/paths.h"
#include "platform/posix/child_process.h"

extern char** environ;

namespace pellanor::platform {
namespace posix {
namespace {

class SpawnActions final {
public:
    SpawnActions() { m_valid = posix_spawn_file_actions_init(&m_actions) == 0; }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    ~SpawnActions() {
        if (m_valid) posix_spawn_file_actions_destroy(&m_actions);
    }
    bool valid() const { return m_valid; }
    posix_spawn_file_actions_t* get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
    bool m_valid = false;
};

int addActions(const ChildSetup& setup, posix_spawn_file_actions_t* actions) {
    int error = 0;
    if (setup.stdinFd >= 0) error = posix_spawn_file_actions_adddup2(actions, setup.stdinFd, 0);
    if (!error && setup.stdoutFd >= 0) {
        error = posix_spawn_file_actions_adddup2(actions, setup.stdoutFd, 1);
    }
    if (!error && setup.quiet && setup.stdoutFd < 0) {
        error = posix_spawn_file_actions_addopen(actions, 1, "/dev/null", O_WRONLY, 0);
    }
    if (!error && setup.quiet) {
        error = posix_spawn_file_actions_addopen(actions, 2, "/dev/null", O_WRONLY, 0);
    }
    // The Windows side passes no handles on; neither do we.
    if (!error) error = posix_spawn_file_actions_addclosefrom_np(actions, 3);
    if (!error && !setup.workDir.empty()) {
        error = posix_spawn_file_actions_addchdir_np(actions, setup.workDir.c_str());
    }
    return error;
}

int waitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A tool that exits before reading all its input must not kill us with SIGPIPE; the signal
// is blocked for this thread only and a pending one is swallowed.
bool writeAll(int fd, const std::string& data) {
    sigset_t pipeSignal;
    sigset_t previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    std::size_t done = 0;
    bool ok = true;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (!ok) {
        const timespec noWait{0, 0};
        sigtimedwait(&pipeSignal, nullptr, &noWait);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return ok;
}

std::string readAll(int fd) {
    std::string data;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return data;
        data.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

int spawnChild(const ChildSetup& setup, pid_t* pid) {
    SpawnActions actions;
    if (!actions.valid()) return ENOMEM;
    if (const int error = addActions(setup, actions.get())) return error;
    std::vector<char*> argv;
    for (const std::string& piece : setup.argv) argv.push_back(const_cast<char*>(piece.c_str()));
    argv.push_back(nullptr);
    const auto spawn = setup.searchPath ? posix_spawnp : posix_spawn;
    return spawn(pid, setup.program.c_str(), actions.get(), nullptr, argv.data(), environ);
}

void reapDetached(pid_t pid) {
    std::thread([pid] { waitForExit(pid); }).detach();
}

bool runTool(const std::vector<std::string>& argv, const std::optional<std::string>& input,
             std::string* output) {
    int inPipe[2] = {-1, -1};
    int outPipe[2] = {-1, -1};
    if (input && pipe2(inPipe, O_CLOEXEC) != 0) return false;
    Fd inRead(inPipe[0]), inWrite(inPipe[1]);
    if (output && pipe2(outPipe, O_CLOEXEC) != 0) return false;
    Fd outRead(outPipe[0]), outWrite(outPipe[1]);

    ChildSetup setup;
    setup.program = argv.front();
    setup.argv = argv;
    setup.searchPath = true;
    setup.quiet = true;
    setup.stdinFd = inRead.get();
    setup.stdoutFd = outWrite.get();
    pid_t pid = 0;
    if (spawnChild(setup, &pid) != 0) return false;
    inRead.reset();
    outWrite.reset();

    bool ok = true;
    if (input) ok = writeAll(inWrite.get(), *input);
    inWrite.reset();
    if (output) *output = readAll(outRead.get());
    return waitForExit(pid) == 0 && ok;
}

bool hasDesktopSession() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

bool isInPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return false;
    std::istringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty()) folder = ".";
        if (access((folder + '/' + name).c_str(), X_OK) == 0) return true;
    }
    return false;
}

}  // namespace posix

LaunchResult launchProcess(const LaunchRequest& request) {
    posix::ChildSetup setup;
    // The child changes folder before it execs, so a relative program would be looked for in the
    // new folder; Windows resolves it against the caller's folder.
    std::filesystem::path program = std::filesystem::u8path(localPath(request.program));
    if (!program.empty() && program.is_relative()) {
        std::error_code error;
        std::filesystem::path absolute = std::filesystem::absolute(program, error);
        if (!error) program = std::move(absolute);
    }
    setup.program = program.u8string();
    setup.argv.push_back(setup.program);
    setup.argv.insert(setup.argv.end(), request.arguments.begin(), request.arguments.end());
    if (!request.workDir.empty()) setup.workDir = localPath(request.workDir);
    pid_t pid = 0;
    const int spawnError = posix::spawnChild(setup, &pid);
    if (spawnError != 0) return {false, static_cast<std::uint32_t>(spawnError)};
    posix::reapDetached(pid);
    return {true, 0};
}

// Execute follows read for each class, so nobody gains a right to the file's contents that
// they did not have; the umask already shaped the read bits when the file was created. Set-id
// bits go: a program made startable this way runs as whoever starts it, never as its owner.
bool allowStarting(const std::string& path, std::uint32_t* errorCode) {
    const std::string local = localPath(path);
    struct stat info {};
    int error = 0;
    if (stat(local.c_str(), &info) != 0) {
        error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? EISDIR : EACCES;
    } else {
        mode_t mode = info.st_mode & 07777 & ~(S_ISUID | S_ISGID);
        if (mode & S_IRUSR) mode |= S_IXUSR;
        if (mode & S_IRGRP) mode |= S_IXGRP;
        if (mode & S_IROTH) mode |= S_IXOTH;
        if (mode != (info.st_mode & 07777) && chmod(local.c_str(), mode) != 0) error = errno;
    }
    if (errorCode != nullptr) *errorCode = static_cast<std::uint32_t>(error);
    return error == 0;
}

}  // namespace pellanor::platform
