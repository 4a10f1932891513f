// POSIX: every step works relative to an open parent descriptor and never follows the last part
// of a name, so a link swapped in during the walk is unlinked rather than followed. statx gives
// the mount id, which also tells a bind mount of the same file system from a plain folder.
#include "platform/tree_removal.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "platform/posix/fd.h"
#include "platform/posix/held_files.h"

namespace pellanor::platform {
namespace {

using posix::Fd;
using posix::HeldFiles;
using posix::ScopedDir;

// Entries of services and sessions directly in a shared folder; see the header for each.
const char* const kServiceEntries[] = {
    "systemd-private-*", "snap-private-tmp", ".X11-unix", ".ICE-unix", ".XIM-unix",
    ".font-unix",        ".Test-unix",       ".X*-lock",  "krb5cc_*",
};

struct Facts {
    mode_t mode = 0;
    uid_t owner = 0;
    dev_t device = 0;
    ino_t inode = 0;
    std::optional<std::uint64_t> mountId;  // kernels before 5.8 do not tell
};

// AT_NO_AUTOMOUNT: looking at an automount point must not mount it.
bool factsAt(int folder, const char* name, int flags, Facts& facts) {
    struct statx info {};
    if (::statx(folder, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_BASIC_STATS | STATX_MNT_ID, &info) != 0) {
        return false;
    }
    facts.mode = info.stx_mode;
    facts.owner = info.stx_uid;
    facts.device = makedev(info.stx_dev_major, info.stx_dev_minor);
    facts.inode = info.stx_ino;
    if ((info.stx_mask & STATX_MNT_ID) != 0) facts.mountId = info.stx_mnt_id;
    return true;
}

bool isMountedOn(const Facts& folder, const Facts& parent) {
    if (folder.device != parent.device) return true;
    return folder.mountId && parent.mountId && *folder.mountId != *parent.mountId;
}

bool isSharedFolder(mode_t mode) {
    return S_ISDIR(mode) && (mode & S_ISVTX) != 0 && (mode & S_IWOTH) != 0;
}

bool isSpecial(mode_t mode) {
    return S_ISSOCK(mode) || S_ISFIFO(mode) || S_ISCHR(mode) || S_ISBLK(mode);
}

bool isServiceEntry(const char* name) {
    for (const char* pattern : kServiceEntries) {
        if (::fnmatch(pattern, name, 0) == 0) return true;
    }
    return false;
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

std::string joined(const std::string& folder, const char* name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + '/' + name;
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// Whether `folder` (following links, as the system resolves it) or a folder above it is shared.
bool liesInSharedFolder(const std::string& folder) {
    std::string path = folder;
    if (path.empty() || path.front() != '/') {
        char* cwd = ::getcwd(nullptr, 0);
        if (cwd == nullptr) return true;  // unknown: the stricter rules are the safe guess
        path = joined(cwd, path.c_str());
        std::free(cwd);
    }
    for (;;) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && isSharedFolder(info.st_mode)) return true;
        const auto slash = path.find_last_of('/');
        if (slash == 0 || slash == std::string::npos) break;
        path.resize(slash);
    }
    struct stat root {};
    return ::stat("/", &root) == 0 && isSharedFolder(root.st_mode);
}

// Where the walk stands when it meets an entry.
struct Place {
    const Facts& parent;
    bool shared;  // the shared-folder rules are in force
};

class Walk final {
public:
    Walk(RemovalReport& report, const std::function<bool()>& stop)
        : m_report(report), m_stop(stop) {}

    void removeAt(int parent, const char* name, const std::string& path, const Place& place);
    void removeEntriesOf(Fd folder, const std::string& path, const Facts& facts, bool shared,
                         bool keepHidden);

private:
    bool spared(const char* name, const Facts& facts, const Place& place);
    void removeFolderAt(int parent, const char* name, const std::string& path, const Facts& facts,
                        bool shared);
    void openUp(int parent, const char* name, const Facts& facts) const;
    bool stopNow();

    RemovalReport& m_report;
    const std::function<bool()>& m_stop;
    const uid_t m_user = ::geteuid();
    std::optional<HeldFiles> m_held;  // scanned when a shared folder first needs it
};

bool Walk::spared(const char* name, const Facts& facts, const Place& place) {
    if (isSpecial(facts.mode) || facts.owner != m_user) return true;
    if (isSharedFolder(place.parent.mode) && isServiceEntry(name)) return true;
    if (!m_held) m_held = HeldFiles::scan();
    return m_held->holds(facts.device, facts.inode);
}

void Walk::removeAt(int parent, const char* name, const std::string& path, const Place& place) {
    Facts facts;
    if (!factsAt(parent, name, 0, facts)) {
        if (errno != ENOENT) m_report.leave(path);
        return;
    }
    if (place.shared && spared(name, facts, place)) return m_report.leave(path);
    if (!S_ISDIR(facts.mode)) {
        if (::unlinkat(parent, name, 0) != 0 && errno != ENOENT) m_report.leave(path);
        return;
    }
    // A mount cannot be removed as itself short of unmounting it, which is not ours to do.
    if (isMountedOn(facts, place.parent)) return m_report.leave(path);
    removeFolderAt(parent, name, path, facts, place.shared);
}

bool Walk::stopNow() {
    if (!m_report.stopped && m_stop && m_stop()) m_report.stopped = true;
    return m_report.stopped;
}

// The counterpart of clearing the read-only attribute: a folder this user owns but may not
// list or change is opened up, without following, since it goes anyway. Root needs no bits.
void Walk::openUp(int parent, const char* name, const Facts& facts) const {
    if (m_user == 0 || facts.owner != m_user || (facts.mode & S_IRWXU) == S_IRWXU) return;
    ::fchmodat(parent, name, (facts.mode & 07777) | S_IRWXU, AT_SYMLINK_NOFOLLOW);
}

void Walk::removeFolderAt(int parent, const char* name, const std::string& path, const Facts& facts,
                          bool shared) {
    openUp(parent, name, facts);
    const std::int64_t leftBefore = m_report.leftCount;
    Fd folder(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    Facts opened;
    // A folder renamed into this place since it was looked at is not the one judged above.
    if (folder.get() >= 0 && factsAt(folder.get(), "", AT_EMPTY_PATH, opened) &&
        opened.device == facts.device && opened.inode == facts.inode) {
        removeEntriesOf(std::move(folder), path, facts, shared, false);
    }
    // What a stop left inside keeps the folder; it is not a refusal to report.
    if (m_report.stopped) return;
    // /tmp and its kind belong to the system even when empty: emptied, never removed.
    if (isSharedFolder(facts.mode)) return m_report.leave(path);
    if (::unlinkat(parent, name, AT_REMOVEDIR) != 0 && errno != ENOENT &&
        m_report.leftCount == leftBefore) {
        m_report.leave(path);
    }
}

void Walk::removeEntriesOf(Fd folder, const std::string& path, const Facts& facts, bool shared,
                           bool keepHidden) {
    const ScopedDir listing(std::move(folder));
    if (listing.get() == nullptr) return;
    const Place place{facts, shared || isSharedFolder(facts.mode)};
    while (const dirent* entry = ::readdir(listing.get())) {
        const char* name = entry->d_name;
        if (isDotOrDotDot(name) || (keepHidden && name[0] == '.')) continue;
        if (stopNow()) return;
        removeAt(listing.fd(), name, joined(path, name), place);
    }
}

}  // namespace

bool leadsElsewhere(const std::string& path) {
    const std::string trimmed = withoutTrailingSlashes(path);
    Facts facts;
    if (trimmed.empty() || !factsAt(AT_FDCWD, trimmed.c_str(), 0, facts)) return false;
    if (S_ISLNK(facts.mode)) return true;
    Facts parent;
    return S_ISDIR(facts.mode) && factsAt(AT_FDCWD, (trimmed + "/..").c_str(), 0, parent) &&
           isMountedOn(facts, parent);
}

RemovalReport removeTree(const std::string& path, const RemovalOptions& options) {
    RemovalReport report;
    const std::string trimmed = withoutTrailingSlashes(path);
    const auto slash = trimmed.find_last_of('/');
    const std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        report.leave(path);
        return report;
    }
    const std::string parentPath = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : trimmed.substr(0, slash);
    Fd parent(::open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    Facts parentFacts;
    if (parent.get() < 0 || !factsAt(parent.get(), "", AT_EMPTY_PATH, parentFacts)) {
        if (errno != ENOENT && errno != ENOTDIR) report.leave(path);
        return report;
    }
    Facts facts;
    if (options.foldersOnly && factsAt(parent.get(), name.c_str(), 0, facts) &&
        !S_ISDIR(facts.mode) && !S_ISLNK(facts.mode)) {
        return report;
    }
    Walk(report, options.stop)
        .removeAt(parent.get(), name.c_str(), trimmed,
                  Place{parentFacts, liesInSharedFolder(parentPath)});
    return report;
}

RemovalReport clearFolder(const std::string& path, const RemovalOptions& options) {
    RemovalReport report;
    const std::string trimmed = withoutTrailingSlashes(path);
    if (trimmed.empty()) {
        report.leave(path);
        return report;
    }
    Fd folder(::open(trimmed.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    Facts facts;
    if (folder.get() < 0 || !factsAt(folder.get(), "", AT_EMPTY_PATH, facts)) {
        if (errno != ENOENT) report.leave(path);
        return report;
    }
    Walk(report, options.stop)
        .removeEntriesOf(std::move(folder), trimmed, facts, liesInSharedFolder(trimmed),
                         options.keepHiddenEntries);
    return report;
}

}  // namespace pellanor::platform
