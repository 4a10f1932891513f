// Removing or moving one file at a time and saying why it failed, for deletions the user starts
// from a result list: each failure carries the reason the system gave.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/file_identity.h"

namespace pellanor::platform {

enum class RemovalFailure {
    None,
    NotFound,      // the file, or a folder on its way, is gone
    InUse,         // another program holds the file
    AccessDenied,  // the system refused: permissions, read-only medium, protected file
    Exists,        // a move's target name is taken
    Stopped,       // a move between volumes was cut short by the stop flag; the source stays
    Other,
};

struct FileRemovalResult {
    RemovalFailure failure = RemovalFailure::None;
    int nativeCode = 0;  // errno or GetLastError(), for the log line
    bool ok() const { return failure == RemovalFailure::None; }
};

// One per job: on POSIX it reads once, when first needed, which files running processes hold
// (platform/posix/held_files.h), and refuses those as in use, as Windows does: Linux would
// unlink them, but their space would come back only when the last holder closes them. Files
// opened after that reading are not seen. Not thread-safe; use it from one thread.
class FileRemover final {
public:
    // `stop`, when given, cuts a move between volumes short; it must outlive the remover.
    explicit FileRemover(const std::atomic<bool>* stop = nullptr);
    ~FileRemover();
    FileRemover(const FileRemover&) = delete;
    FileRemover& operator=(const FileRemover&) = delete;

    // Removes the entry `path` (a host path): a file, or a link as itself; never a folder
    // (AccessDenied). A read-only file is removed too. `known`, the identity the caller has
    // just read, spares POSIX a second look at the file. Blocks on the file system.
    FileRemovalResult remove(const std::string& path, const FileIdentity* known = nullptr);

    // Moves the file `from` to `to` (host paths; the folder of `to` must exist), copying and
    // then removing across volumes (a half-made copy is removed again). Never replaces an
    // existing `to` (Exists). Blocks.
    FileRemovalResult move(const std::string& from, const std::string& to);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace pellanor::platform
