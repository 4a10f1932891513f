// POSIX: a shell script with the same arguments and steps as the Windows batch file.
#include "platform/self_delete.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

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
           "rm -f -- \"$0\"\n";
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
