// POSIX stand-in for the shell: xdg-open for folders, documents and URLs.
#include "platform/shell.h"

#include "platform/posix/child_process.h"

namespace pellanor::platform {
namespace {

// xdg-open without a desktop session would start and then fail on its own; answering false
// at once is what the caller can act on.
bool startXdgOpen(const std::string& target) {
    if (!posix::hasDesktopSession()) return false;
    posix::ChildSetup setup;
    setup.program = "xdg-open";
    setup.argv = {"xdg-open", target};
    setup.searchPath = true;
    setup.quiet = true;
    pid_t pid = 0;
    if (posix::spawnChild(setup, &pid) != 0) return false;
    posix::reapDetached(pid);
    return true;
}

}  // namespace

bool openInFileManager(const std::string& folder) { return startXdgOpen(folder); }

bool openWithShell(const std::string& target) { return startXdgOpen(target); }

FolderPick pickFolder() { return {FolderPickOutcome::Unavailable, {}}; }

std::string throughAnsiCodePage(const std::string& text) { return text; }

}  // namespace pellanor::platform
