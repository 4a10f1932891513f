// POSIX: the command line split by the Windows rules and started through posix_spawnp, never
// through a shell; the child leads a process group of its own so that a timeout ends its
// children too.
#include "platform/command_line.h"
#include "platform/posix/fd.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

extern char** environ;

namespace pellanor::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Short enough that a child which exits is noticed at once, long enough not to spin.
constexpr int kPollMs = 10;

using posix::Fd;
class SpawnSetup final {
public:
    SpawnSetup() {
        m_valid = posix_spawn_file_actions_init(&m_actions) == 0;
        if (m_valid && posix_spawnattr_init(&m_attributes) != 0) {
            posix_spawn_file_actions_destroy(&m_actions);
            m_valid = false;
        }
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    ~SpawnSetup() {
        if (!m_valid) return;
        posix_spawnattr_destroy(&m_attributes);
        posix_spawn_file_actions_destroy(&m_actions);
    }
    bool valid() const { return m_valid; }
    posix_spawn_file_actions_t* actions() { return &m_actions; }
    posix_spawnattr_t* attributes() { return &m_attributes; }

private:
    posix_spawn_file_actions_t m_actions;
    posix_spawnattr_t m_attributes;
    bool m_valid = false;
};

// Input and output go through pipes rather than /dev/null, which a careless root process can
// turn into a plain file: a pipe whose writing end is closed reads as end of file.
int prepare(SpawnSetup& setup, int inputFd, int outputFd) {
    posix_spawn_file_actions_t* actions = setup.actions();
    int error = posix_spawn_file_actions_adddup2(actions, inputFd, 0);
    if (!error) error = posix_spawn_file_actions_adddup2(actions, outputFd, 1);
    if (!error) error = posix_spawn_file_actions_addopen(actions, 2, "/dev/null", O_WRONLY, 0);
    if (!error) error = posix_spawn_file_actions_addclosefrom_np(actions, 3);
    if (!error) error = posix_spawnattr_setpgroup(setup.attributes(), 0);
    if (!error) error = posix_spawnattr_setflags(setup.attributes(), POSIX_SPAWN_SETPGROUP);
    return error;
}

// Reads what the pipe holds now, keeping it when `output` is given; false once the child's side
// is closed.
bool drain(int fd, std::string* output) {
    char buffer[4096];
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 0) <= 0) return true;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (output != nullptr) output->append(buffer, static_cast<std::size_t>(n));
    }
}

// True once the child has ended, with its status. A child someone else reaped (SIGCHLD
// ignored) has ended too, but with a status nobody knows: -1 reads as "not exited".
bool reaped(pid_t pid, int* status) {
    pid_t result;
    do {
        result = waitpid(pid, status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result < 0) *status = -1;
    return result != 0;
}

// Polls the child and its output until it ends or the deadline passes. A grandchild that keeps
// the pipe open after the child has ended must not keep us waiting, so the end of the child
// ends the reading, not the end of file.
bool waitForChild(pid_t pid, int outputFd, int timeoutMs, std::string* output, int* status) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool pipeOpen = true;
    for (;;) {
        if (pipeOpen) pipeOpen = drain(outputFd, output);
        if (reaped(pid, status)) {
            if (pipeOpen) drain(outputFd, output);
            return true;
        }
        if (timeoutMs >= 0 && Clock::now() >= deadline) return false;
        if (pipeOpen) {
            pollfd ready{outputFd, POLLIN, 0};
            poll(&ready, 1, kPollMs);
        } else {
            usleep(kPollMs * 1000);
        }
    }
}

void killGroup(pid_t pid) {
    kill(-pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

void appendWord(std::vector<std::string>& words, std::string& word, bool& inWord) {
    if (inWord) words.push_back(word);
    word.clear();
    inWord = false;
}

// The program word knows no escapes: a leading quote runs to the next quote, otherwise the
// word runs to the first blank.
std::size_t splitProgram(const std::string& line, std::vector<std::string>& words) {
    if (line.front() == '"') {
        const std::size_t close = line.find('"', 1);
        const std::size_t end = close == std::string::npos ? line.size() : close;
        words.push_back(line.substr(1, end - 1));
        return close == std::string::npos ? line.size() : close + 1;
    }
    const std::size_t end = std::min(line.find_first_of(" \t"), line.size());
    words.push_back(line.substr(0, end));
    return end;
}

}  // namespace

std::vector<std::string> splitCommandLine(const std::string& commandLine) {
    std::vector<std::string> words;
    if (commandLine.empty()) return words;
    std::size_t i = splitProgram(commandLine, words);
    std::string word;
    bool inWord = false;
    bool quoted = false;
    while (i < commandLine.size()) {
        const char c = commandLine[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            appendWord(words, word, inWord);
            ++i;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            std::size_t slashes = 0;
            while (i < commandLine.size() && commandLine[i] == '\\') ++slashes, ++i;
            const bool beforeQuote = i < commandLine.size() && commandLine[i] == '"';
            word.append(beforeQuote ? slashes / 2 : slashes, '\\');
            if (beforeQuote && slashes % 2 == 1) word += '"', ++i;
            continue;
        }
        if (c == '"') {
            // Inside quotes, a doubled quote stands for one and quoting goes on.
            if (quoted && i + 1 < commandLine.size() && commandLine[i + 1] == '"') {
                word += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else {
            word += c;
        }
        ++i;
    }
    appendWord(words, word, inWord);
    return words;
}

CommandLineRun runCommandLine(const std::string& commandLine, int timeoutMs, ChildOutput output) {
    CommandLineRun run;
    const std::vector<std::string> words = splitCommandLine(commandLine);
    if (words.empty() || words.front().empty()) {
        run.errorCode = ENOENT;
        return run;
    }
    int inputFds[2] = {-1, -1};
    int outputFds[2] = {-1, -1};
    const bool piped = pipe2(inputFds, O_CLOEXEC) == 0 && pipe2(outputFds, O_CLOEXEC) == 0;
    const int pipeError = errno;
    Fd inputRead(inputFds[0]), outputRead(outputFds[0]), outputWrite(outputFds[1]);
    // The child's input is at its end from the start.
    if (inputFds[1] >= 0) close(inputFds[1]);
    if (!piped) {
        run.errorCode = static_cast<std::uint32_t>(pipeError);
        return run;
    }

    SpawnSetup setup;
    int error = setup.valid() ? prepare(setup, inputRead.get(), outputWrite.get()) : ENOMEM;
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (!error) {
        error = posix_spawnp(&pid, argv.front(), setup.actions(), setup.attributes(), argv.data(),
                             environ);
    }
    if (error) {
        run.errorCode = static_cast<std::uint32_t>(error);
        return run;
    }
    run.started = true;
    inputRead.reset();
    outputWrite.reset();

    int status = 0;
    std::string* kept = output == ChildOutput::Capture ? &run.output : nullptr;
    run.finished = waitForChild(pid, outputRead.get(), timeoutMs, kept, &status);
    if (!run.finished) {
        killGroup(pid);
        return run;
    }
    // A tool ended by a signal did not finish its work.
    if (WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    } else {
        run.finished = false;
    }
    return run;
}

}  // namespace pellanor::platform
