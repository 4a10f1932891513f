// Removing a folder tree, or emptying a folder, without ever entering a symbolic link, junction
// or mount point: what such an entry leads to is never touched. Junk cleaning and forced
// deletion both go through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pellanor::platform {

// What a removal left behind, for the caller's log line.
struct RemovalReport {
    static constexpr std::size_t kListedPaths = 5;

    // Entries that stayed: refused by the system, or spared by the rules below. A folder that
    // stays only because something inside it stayed is not counted again.
    std::int64_t leftCount = 0;
    // The first kListedPaths of them, each the path given joined with the names below it (on
    // Windows in the absolute form, backslashes, without the "\\?\" prefix).
    std::vector<std::string> firstLeft;
    // The stop predicate answered true: entries not reached yet stay and are not counted.
    bool stopped = false;

    bool complete() const { return leftCount == 0 && !stopped; }
    void leave(const std::string& path) {
        ++leftCount;
        if (firstLeft.size() < kListedPaths) firstLeft.push_back(path);
    }
};

struct RemovalOptions {
    // clearFolder only: hidden entries directly in the folder (a name starting with '.' on
    // POSIX, the hidden attribute on Windows) stay and are not counted. Below a sub-folder that
    // goes, everything goes, hidden or not.
    bool keepHiddenEntries = false;
    // removeTree only: a plain file given as `path` is left alone and the call is complete, for
    // callers that remove folders only. A link given as `path` is still removed as itself.
    bool foldersOnly = false;
    // Windows: an entry the ordinary delete refuses is deleted once more through a handle
    // opened with backup semantics, which passes the access checks when the caller has enabled
    // the backup and restore privileges. No effect on POSIX.
    bool backupSemantics = false;
    // Asked before each entry; once it answers true the walk ends where it stands, so a stop
    // waits for one removal at most. It runs on the calling thread and must be cheap.
    std::function<bool()> stop;
};

// Removes `path` (a host path) and, for a folder, everything inside it, depth first, hidden and
// system entries included. Read-only, hidden and system attributes are cleared before a delete
// (on POSIX a folder of this user's that it may not read or write is opened up first).
//
// Links: a symbolic link or junction, given as `path` or met inside it, is removed itself,
// never entered. A Windows folder that is a reparse point of another kind (a cloud placeholder,
// or one without a tag, as Wine shows a Unix link) is neither entered nor removed: removing it
// could remove what it stands for. A POSIX mount point is neither entered nor removed (a Windows
// mount point is a junction and goes as one: the volume behind it is untouched).
//
// A missing `path` is complete. An empty `path`, a drive or file-system root, a drive-relative
// Windows path ("C:name"), or one whose last part is "." or "..", is refused and reported as
// left. Goes on past entries it cannot remove. Long paths work on both systems (the "\\?\" form
// on Windows). Stops early when options.stop says so (report.stopped). Blocks on the file system;
// safe to call from any thread.
RemovalReport removeTree(const std::string& path, const RemovalOptions& options = {});

// Removes everything inside the folder `path` and keeps the folder itself, by the rules of
// removeTree. A missing folder is complete. A `path` that is a link, or not a folder, is not
// entered and is reported as left. Blocks on the file system.
RemovalReport clearFolder(const std::string& path, const RemovalOptions& options = {});

// Whether the entry `path` leads elsewhere, so that a walk must neither enter nor measure it:
// a symbolic link or junction, any other reparse point on Windows, a mount point on POSIX (by
// the same rules as removeTree). False for a plain file or folder and for a missing path.
// Blocks briefly on the file system.
bool leadsElsewhere(const std::string& path);

// POSIX: shared temporary folders. A folder with the sticky bit that other users may write to
// (/tmp, /var/tmp, /dev/shm) is shared by every user and service of the machine, and Linux,
// unlike Windows, locks no file that is in use. When `path` lies in such a folder, is one, or a
// walk reaches one, these entries stay and are reported as left:
//   - an entry owned by another user than the effective one, with everything inside it; so
//     root removes only root's own entries there and never enters another uid's tree;
//   - sockets, FIFOs and device nodes;
//   - an entry a running process holds: open on a descriptor, mapped into its memory, or its
//     working or root folder; a held folder stays with everything inside it. One scan of
//     /proc per call, taken when the first entry under these rules is judged, matched by
//     device and inode; processes this user may not inspect are not seen (root sees all);
//   - directly in a shared folder, the entries of services and sessions known by name:
//     "systemd-private-*" and "snap-private-tmp" (services' private temporary folders),
//     ".X11-unix", ".ICE-unix", ".XIM-unix", ".font-unix", ".Test-unix" and ".X*-lock" (the
//     display server's sockets and locks) and "krb5cc_*" (Kerberos tickets), which no process
//     need hold open while they matter;
//   - a shared folder itself, met by removeTree: it is emptied by these rules and stays.
// Windows needs no such rule: TEMP is the user's own folder and files in use are locked, so
// they stay and are reported like any entry the system refuses.

}  // namespace pellanor::platform
