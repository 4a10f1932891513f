// POSIX stand-in for the shell: xdg-open for folders, documents and URLs.
#include "platform/shell.h"

#include "platform/posix/child_process.h"

namespace pellanor::platform {
namespace {

// xdg-open without a desktop session would start and then fail on its own; answering false
// at once is what the caller can act on.
bool startXdgOpen(const std::string& target) {
    if (!posix::hasDesktopSession()) return false;
    posix::ChildSpec spec;
    spec.program = "xdg-open";
    spec.argv = {"xdg-open", target};
    spec.searchPath = true;
    spec.quiet = true;
    pid_t pid = 0;
    if (posix::spawnChild(spec, &pid) != 0) return false;
    posix::reapDetached(pid);
    return true;
}

}  // namespace

bool openInFileManager(const std::string& folder) { return startXdgOpen(folder); }

bool openWithShell(const std::string& target) { return startXdgOpen(target); }

FolderPick pickFolder() { return {FolderPickOutcome::Unavailable, {}}; }

std::string throughAnsiCodePage(const std::string& text) { return text; }

}  // namespace pellanor::platform
