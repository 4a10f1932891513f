// POSIX: a shell script with the same arguments and steps as the Windows batch file.
#include "platform/self_delete.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/posix/fd.h"

namespace pellanor::platform {
namespace {

// Only async-signal-safe calls between fork and exec: the program has threads.
[[noreturn]] void runScript(const char* scriptPath, const char* pid, const char* folder,
                            const char* removalList, const char* workingFolder) {
    ::setsid();
    if (::chdir(workingFolder) != 0) ::_exit(127);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
    }
    char* const argv[] = {const_cast<char*>("/bin/sh"),
                          const_cast<char*>(scriptPath),
                          const_cast<char*>(pid),
                          const_cast<char*>(folder),
                          *removalList == '\0' ? nullptr : const_cast<char*>(removalList),
                          nullptr};
    ::execv("/bin/sh", argv);
    ::_exit(127);
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string selfDeleteScriptFileName(std::uint32_t pid) {
    return "pellanor_uninstall_" + std::to_string(pid) + ".sh";
}

std::string selfDeleteScriptText(std::uint32_t pid) {
    return "#!/bin/sh\n"
           "PID=\"" +
           std::to_string(pid) +
           "\"\n"
           "TARGET=\"$2\"\n"
           "\n"
           "while [ -d \"/proc/$PID\" ]; do\n"
           "    sleep 1\n"
           "done\n"
           "\n"
           "LIST=\"$3\"\n"
           "if [ -n \"$LIST\" ]; then\n"
           "    while IFS= read -r ENTRY; do\n"
           "        case \"$ENTRY\" in\n"
           "            \"F \"*) rm -f -- \"${ENTRY#F }\" ;;\n"
           "            \"D \"*) rmdir -- \"${ENTRY#D }\" 2>/dev/null ;;\n"
           "        esac\n"
           "    done < \"$LIST\"\n"
           "    rm -f -- \"$LIST\"\n"
           "elif [ -n \"$TARGET\" ] && [ -e \"$TARGET\" ]; then rm -rf -- \"$TARGET\"; fi\n"
           "rm -f -- \"$0\"\n"
           "rmdir -- \"${0%/*}\" 2>/dev/null || true\n";
}

// In a shared temporary folder another user could plant a link at the script's name, to have us
// overwrite a file of ours, or swap the script before it runs. mkdtemp makes a folder only we
// can enter and retries its random name on a clash; O_EXCL and O_NOFOLLOW keep even a link
// planted inside from being followed.
std::string writeSelfDeleteScript(const std::string& parentFolder, std::uint32_t pid) {
    const std::string pattern = parentFolder + "/pellanor-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) return {};
    const std::string folder(name.data());
    const std::string script = folder + '/' + selfDeleteScriptFileName(pid);
    posix::Fd fd(
        ::open(script.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0700));
    if (fd.get() < 0) {
        ::rmdir(folder.c_str());
        return {};
    }
    // A script cut short (a full disk) must not be started.
    const bool written = writeAll(fd.get(), selfDeleteScriptText(pid)) && ::fsync(fd.get()) == 0;
    fd.reset();
    if (written) return script;
    ::unlink(script.c_str());
    ::rmdir(folder.c_str());
    return {};
}

bool startSelfDeleteScript(const std::string& scriptPath, std::uint32_t pid,
                           const std::string& folder, const std::string& workingFolder,
                           const std::string& removalList) {
    const std::string pidText = std::to_string(pid);
    // Forked twice so that the script is nobody's child here and leaves no zombie behind.
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            runScript(scriptPath.c_str(), pidText.c_str(), folder.c_str(), removalList.c_str(),
                      workingFolder.c_str());
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace pellanor::platform
