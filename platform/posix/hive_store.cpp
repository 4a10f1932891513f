// The hive files of the POSIX registry store. Writers serialise on a lock file per hive and read
// the hive again under it, so concurrent writers each add to what the other wrote.
//
// A change is appended to the file as the editor would import it (a section naming the key and
// the changed value), so a setValue costs a small write instead of rewriting every value of the
// hive; the file is compacted by an atomic rewrite once the appended records outgrow the rest.
// Readers that must parse the file take the lock shared, so they never parse half a record a
// live writer is appending; only a crash leaves one, and hive_store.h says what becomes of it.
#include "platform/posix/hive_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/posix/fd.h"

namespace pellanor::platform::posix::hive {
namespace {

using registry::kAccessDenied;
using registry::kInvalidData;
using registry::kSuccess;
using registry::kWriteFault;
using registry::Root;
using registry::Status;

// What tells a hive file apart from its last version: every write makes a new inode, and an edit
// in place changes the size or the modification time.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    static FileIdentity of(const struct stat& info) {
        return {true, info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    }
    bool operator==(const FileIdentity& other) const {
        return exists == other.exists && device == other.device && inode == other.inode &&
               size == other.size && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

// The parsed hive of the file last read, kept while the file stays the same: a query costs a
// stat, not a parse.
struct CachedHive {
    std::mutex lock;
    std::string path;
    FileIdentity identity;
    off_t compactSize = 0;      // the size of the file before any record was appended
    bool takesRecords = false;  // see reg::takesRecords
    bool tornTail = false;      // the file ends in a record cut short, left out of `tree`
    mode_t mode = 0600;
    std::unique_ptr<reg::KeyNode> tree;  // null: nothing cached
};

CachedHive& cachedHive(Root root) {
    // Never destroyed: a detached worker may still query the registry while the process exits.
    static auto* hives = new CachedHive[5];
    return hives[static_cast<int>(root)];
}

std::string nonEmptyVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string hivePath(const std::string& folder, Root root) {
    return folder.empty() ? std::string() : folder + '/' + registry::rootName(root) + ".reg";
}

Status fail(Status status, const std::string& path, const std::string& reason) {
    lastFailure() = path + ": " + reason;
    return status;
}

Status failWithErrno(Status status, const std::string& path) {
    return fail(status, path, std::strerror(errno));
}

bool readAll(int fd, std::string& bytes) {
    char buffer[65536];
    while (true) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == 0) return true;
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return false;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
}

bool writeAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t count = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        done += static_cast<std::size_t>(count);
    }
    return true;
}

Status notPlainFile(const std::string& path, const struct stat& info) {
    return fail(kAccessDenied, path,
                S_ISLNK(info.st_mode) ? "a symbolic link; the store keeps its files as plain files"
                                      : "not a plain file");
}

// Without O_NONBLOCK, opening a FIFO waits for a writer that may never come; the fstat then
// refuses anything that is not a plain file, whatever was put there after the lstat.
Status openPlainFile(const std::string& path, int flags, Status failure, Fd& out,
                     struct stat& info) {
    Fd file(open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    if (file.get() < 0 || fstat(file.get(), &info) != 0) return failWithErrno(failure, path);
    if (!S_ISREG(info.st_mode)) return notPlainFile(path, info);
    out = std::move(file);
    return kSuccess;
}

Status parseFile(CachedHive& hive, const std::string& path, Root root, std::string& notice) {
    Fd file;
    struct stat info {};
    if (const Status opened = openPlainFile(path, O_RDONLY, kAccessDenied, file, info);
        opened != kSuccess) {
        return opened;
    }
    std::string bytes;
    if (!readAll(file.get(), bytes)) return failWithErrno(kAccessDenied, path);
    std::string reason;
    std::size_t dropped = 0;
    std::unique_ptr<reg::KeyNode> tree = reg::parseAppendedHive(bytes, root, reason, dropped);
    if (!tree) return fail(kInvalidData, path, reason + " (the file is left as it is)");
    if (dropped > 0) {
        notice = "dropped an incomplete change at the end of " + path + " (" +
                 std::to_string(dropped) + " bytes of a write that was cut short)";
        lastFailure() = notice;
    }
    hive.tree = std::move(tree);
    hive.path = path;
    hive.identity = FileIdentity::of(info);
    hive.compactSize = info.st_size;
    hive.takesRecords = reg::takesRecords(bytes);
    hive.tornTail = dropped > 0;
    hive.mode = info.st_mode & 07777;
    return kSuccess;
}

// Open-file-description locks, as the named mutexes use: released when the descriptor closes,
// and they exclude other threads' descriptors as well as other processes. A reader finds no lock
// file when nobody has written since the store was made, so nobody is writing now: `lock` then
// stays closed.
Status lockHive(const std::string& folder, Root root, short type, Fd& lock) {
    const std::string path = folder + "/." + registry::rootName(root) + ".reg.lock";
    const bool writer = type == F_WRLCK;
    struct stat info {};
    Fd file;
    errno = 0;  // so that a lock file refused for what it is never passes for a missing one
    const Status opened = openPlainFile(path, writer ? O_RDWR | O_CREAT : O_RDONLY,
                                        writer ? kWriteFault : kAccessDenied, file, info);
    if (opened != kSuccess) return !writer && errno == ENOENT ? kSuccess : opened;
    flock range{};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    int result = 0;
    while ((result = fcntl(file.get(), F_OFD_SETLKW, &range)) != 0 && errno == EINTR) {
    }
    if (result != 0) return failWithErrno(writer ? kWriteFault : kAccessDenied, path);
    lock = std::move(file);
    return kSuccess;
}

// Brings the cached tree up to date with the file at `path`. A reader (`folder` given) parses
// under the shared lock, so that no writer is halfway through appending; writers hold the lock.
Status load(CachedHive& hive, const std::string& path, Root root, const std::string& folder,
            std::string& notice) {
    struct stat info {};
    if (path.empty() || lstat(path.c_str(), &info) != 0) {
        if (!path.empty() && errno != ENOENT) return failWithErrno(kAccessDenied, path);
        if (!hive.tree || hive.path != path || hive.identity.exists) {
            hive.tree = std::make_unique<reg::KeyNode>(registry::rootName(root));
            hive.path = path;
            hive.identity = {};
        }
        return kSuccess;
    }
    if (!S_ISREG(info.st_mode)) {
        hive.tree.reset();
        return notPlainFile(path, info);
    }
    if (hive.tree && hive.path == path && hive.identity == FileIdentity::of(info)) return kSuccess;
    hive.tree.reset();
    Fd shared;
    if (!folder.empty()) {
        if (const Status locked = lockHive(folder, root, F_RDLCK, shared); locked != kSuccess) {
            return locked;
        }
    }
    return parseFile(hive, path, root, notice);
}

bool makeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

// The rename is atomic; the fsync before it makes sure the new name never points at data the
// disk has not got, and the one after it makes the new name itself last.
Status writeHive(CachedHive& hive, const std::string& folder, Root root) {
    const std::string bytes = reg::encodeHive(*hive.tree, root);
    std::string temp = folder + "/." + registry::rootName(root) + ".reg.XXXXXX";
    const Fd file(mkostemp(temp.data(), O_CLOEXEC));
    if (file.get() < 0) return failWithErrno(kWriteFault, temp);
    struct stat info {};
    const bool written = fchmod(file.get(), hive.mode) == 0 && writeAll(file.get(), bytes) &&
                         fdatasync(file.get()) == 0 && fstat(file.get(), &info) == 0 &&
                         rename(temp.c_str(), hive.path.c_str()) == 0;
    if (!written) {
        const int error = errno;
        unlink(temp.c_str());
        return fail(kWriteFault, hive.path, std::strerror(error));
    }
    const Fd folderFile(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFile.get() >= 0) fsync(folderFile.get());
    hive.identity = FileIdentity::of(info);
    hive.compactSize = info.st_size;
    hive.takesRecords = true;
    hive.tornTail = false;
    return kSuccess;
}

// Runs under the writer's lock. No sync: the system registry too flushes lazily, and a sync per
// change made the disk's latency the cost of every write. A crash may leave the record cut
// short; the next reader leaves it out and the next writer compacts it away. A failed write is
// cut off at once, so that no reader has to.
Status appendRecord(CachedHive& hive, const std::string& record) {
    Fd file;
    struct stat info {};
    if (const Status opened =
            openPlainFile(hive.path, O_WRONLY | O_APPEND, kWriteFault, file, info);
        opened != kSuccess) {
        return opened;
    }
    if (!writeAll(file.get(), record) || fstat(file.get(), &info) != 0) {
        const int error = errno;
        const bool cutOff = ftruncate(file.get(), hive.identity.size) == 0;
        return fail(kWriteFault, hive.path,
                    std::string(std::strerror(error)) +
                        (cutOff ? "" : " (the part written stays until the next write)"));
    }
    hive.identity = FileIdentity::of(info);
    return kSuccess;
}

// Appending keeps each change cheap; rewriting once the records outgrow the compact part keeps
// the file near its compact size, so rewrites cost O(1) per change taken together. A file a
// user wrote in UTF-8 is rewritten in the store's encoding first: records in UTF-16 would make
// it unreadable. So is one that does not end in a blank line: a record appended to it would
// leave no mark where the file's own text ended.
bool appendable(const CachedHive& hive, const std::string& record) {
    constexpr off_t kSlack = 64 * 1024;
    return hive.identity.exists && hive.takesRecords &&
           hive.identity.size + static_cast<off_t>(record.size()) <= 2 * hive.compactSize + kSlack;
}

using registry::NoticeHandler;

struct Notices {
    std::mutex mutex;
    NoticeHandler handler;
    std::vector<std::string> waiting;
};

// Made on first use, as a handler may be set while static objects are still being made, and
// never destroyed, as a detached worker may read the registry while the process exits.
Notices& notices() {
    static auto* const instance = new Notices;
    return *instance;
}

// Outside the hive's lock, so that a handler may use the registry itself.
void report(const std::string& notice) {
    if (notice.empty()) return;
    Notices& all = notices();
    NoticeHandler handler;
    {
        const std::lock_guard<std::mutex> guard(all.mutex);
        if (!all.handler) {
            all.waiting.push_back(notice);
            return;
        }
        handler = all.handler;
    }
    handler(notice);
}

// The change under the hive's locks; `notice` gets what had to be left out of the file.
Status modifyLocked(Root root, const std::function<Status(reg::KeyNode&, std::string&)>& change,
                    std::string& notice) {
    const std::string folder = storeFolder();
    if (folder.empty()) return fail(kWriteFault, "registry", "no folder for it (HOME is not set)");
    if (!makeFolders(folder)) return failWithErrno(kWriteFault, folder);
    CachedHive& hive = cachedHive(root);
    const std::lock_guard<std::mutex> guard(hive.lock);
    Fd lock;
    Status status = lockHive(folder, root, F_WRLCK, lock);
    if (status == kSuccess)
        status = load(hive, hivePath(folder, root), root, std::string(), notice);
    if (status != kSuccess) return status;
    std::string record;
    status = change(*hive.tree, record);
    // The first writer to see a record cut short rewrites the file, even without a change: the
    // torn bytes are not left for the next reader to trip over.
    if (record.empty() && !hive.tornTail) return status;
    if (status == kSuccess) {
        status =
            appendable(hive, record) ? appendRecord(hive, record) : writeHive(hive, folder, root);
    }
    // The tree may now hold what the file does not: read the file again next time.
    if (status != kSuccess) hive.tree.reset();
    return status;
}

}  // namespace

std::string& lastFailure() {
    thread_local std::string reason;
    return reason;
}

void setNoticeHandler(NoticeHandler handler) {
    Notices& all = notices();
    std::vector<std::string> waiting;
    {
        const std::lock_guard<std::mutex> guard(all.mutex);
        all.handler = handler;
        if (handler) waiting.swap(all.waiting);
    }
    for (const std::string& notice : waiting) handler(notice);
}

std::string storeFolder() {
    if (const std::string own = nonEmptyVariable("PELLANOR_REGISTRY_DIR"); !own.empty()) {
        return own;
    }
    // XDG has relative paths there ignored.
    if (const std::string data = nonEmptyVariable("XDG_DATA_HOME");
        !data.empty() && data.front() == '/') {
        return data + "/Pellanor/registry";
    }
    const std::string home = nonEmptyVariable("HOME");
    return home.empty() ? std::string() : home + "/.local/share/Pellanor/registry";
}

Status read(Root root, const std::function<Status(const reg::KeyNode&)>& read) {
    lastFailure().clear();
    CachedHive& hive = cachedHive(root);
    std::string notice;
    Status status = kSuccess;
    {
        const std::lock_guard<std::mutex> guard(hive.lock);
        const std::string folder = storeFolder();
        status = load(hive, hivePath(folder, root), root, folder, notice);
        if (status == kSuccess) status = read(*hive.tree);
    }
    report(notice);
    return status;
}

Status modify(Root root, const std::function<Status(reg::KeyNode&, std::string&)>& change) {
    lastFailure().clear();
    std::string notice;
    const Status status = modifyLocked(root, change, notice);
    report(notice);
    return status;
}

}  // namespace pellanor::platform::posix::hive
