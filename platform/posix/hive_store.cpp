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

Status parseFile(CachedHive& hive, const std::string& path, Root root) {
    const Fd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (file.get() < 0 || fstat(file.get(), &info) != 0) return failWithErrno(kAccessDenied, path);
    if (!S_ISREG(info.st_mode)) return fail(kAccessDenied, path, "not a regular file");
    std::string bytes;
    if (!readAll(file.get(), bytes)) return failWithErrno(kAccessDenied, path);
    std::string reason;
    std::size_t dropped = 0;
    std::unique_ptr<reg::KeyNode> tree = reg::parseAppendedHive(bytes, root, reason, dropped);
    if (!tree) return fail(kInvalidData, path, reason + " (the file is left as it is)");
    if (dropped > 0) {
        lastFailure() = "dropped an incomplete change at the end of " + path + " (" +
                        std::to_string(dropped) + " bytes of a write that was cut short)";
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
// and they exclude other threads' descriptors as well as other processes.
Fd lockHive(const std::string& folder, Root root, short type) {
    const std::string path = folder + "/." + registry::rootName(root) + ".reg.lock";
    const int flags = type == F_WRLCK ? O_RDWR | O_CREAT : O_RDONLY;
    Fd file(open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (file.get() < 0) return file;
    flock lock{};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    int result = 0;
    while ((result = fcntl(file.get(), F_OFD_SETLKW, &lock)) != 0 && errno == EINTR) {
    }
    if (result != 0) file.reset();
    return file;
}

// Brings the cached tree up to date with the file at `path`. A reader (`folder` given) parses
// under the shared lock, so that no writer is halfway through appending; writers hold the lock.
Status load(CachedHive& hive, const std::string& path, Root root, const std::string& folder) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) {
        if (!path.empty() && errno != ENOENT) return failWithErrno(kAccessDenied, path);
        if (!hive.tree || hive.path != path || hive.identity.exists) {
            hive.tree = std::make_unique<reg::KeyNode>(registry::rootName(root));
            hive.path = path;
            hive.identity = {};
        }
        return kSuccess;
    }
    if (hive.tree && hive.path == path && hive.identity == FileIdentity::of(info)) return kSuccess;
    hive.tree.reset();
    // No lock file: nobody has written since the store was made, so nobody is writing now.
    const Fd shared = folder.empty() ? Fd() : lockHive(folder, root, F_RDLCK);
    return parseFile(hive, path, root);
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
    const Fd file(open(hive.path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW));
    struct stat info {};
    if (file.get() < 0) return failWithErrno(kWriteFault, hive.path);
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

}  // namespace

std::string& lastFailure() {
    thread_local std::string reason;
    return reason;
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
    const std::lock_guard<std::mutex> guard(hive.lock);
    const std::string folder = storeFolder();
    const Status status = load(hive, hivePath(folder, root), root, folder);
    return status == kSuccess ? read(*hive.tree) : status;
}

Status modify(Root root, const std::function<Status(reg::KeyNode&, std::string&)>& change) {
    lastFailure().clear();
    const std::string folder = storeFolder();
    if (folder.empty()) return fail(kWriteFault, "registry", "no folder for it (HOME is not set)");
    if (!makeFolders(folder)) return failWithErrno(kWriteFault, folder);
    CachedHive& hive = cachedHive(root);
    const std::lock_guard<std::mutex> guard(hive.lock);
    const Fd lock = lockHive(folder, root, F_WRLCK);
    if (lock.get() < 0) return failWithErrno(kWriteFault, folder);
    Status status = load(hive, hivePath(folder, root), root, std::string());
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

}  // namespace pellanor::platform::posix::hive
