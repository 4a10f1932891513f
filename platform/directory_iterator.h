// Listing folders, flat or recursively, with the entry rules of the scanners and folder sizes:
// which hidden, link, special and unreadable entries are listed and which folders are entered.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/file_identity.h"

namespace pellanor::platform {

struct DirectoryEntry {
    // The folder path as given (backslashes turned into slashes on Windows), a '/' unless it
    // already ends with one, then the name, and the same again for each level below it.
    std::string path;
    std::string name;
    std::int64_t size = 0;           // bytes; 0 for folders and special entries
    std::int64_t modifiedMsecs = 0;  // last write, milliseconds since 1970-01-01 UTC
    bool isDirectory = false;
    bool isFile = false;  // a regular file; false for folders and special entries
    // The file's identity and hard-link count where the walk learns them for free (POSIX,
    // regular files: the walk's own stat). Windows' find data carries neither, and opening every
    // file to ask would cost more than the listing itself, so there identity stays nullopt and
    // linkCount 0; callers ask fileFacts() for the few entries that need them.
    std::optional<FileIdentity> identity;
    std::uint32_t linkCount = 0;
};

// Which entries are listed. "." and ".." never are, and neither are symbolic links, junctions
// and (on Windows) shortcut files: they are not entered either. A POSIX exception kept from the
// listing rules the callers were written against: with `system`, a link whose target is
// missing is listed as an entry that is neither file nor folder.
struct DirectoryFilter {
    bool files = true;
    bool directories = false;
    // Hidden entries (a name starting with '.' on POSIX, the hidden attribute on Windows) are
    // listed only with this set; hidden folders are entered only with this set.
    bool hidden = false;
    // Special entries (FIFOs, sockets, devices) are listed only with this set.
    bool system = false;
    // Lists only entries the real user may read. Folders are entered whatever this says.
    bool readableOnly = false;
    // Enters subfolders, depth first: a folder's entries come right after the folder itself is
    // met, in the order the file system lists them.
    bool recursive = false;
};

// One walk. Not thread-safe; use it from one thread. A folder that cannot be opened, or whose
// listing fails part way (also when the thread's blocking I/O is cancelled), contributes what
// was read so far and the walk goes on with the next folder.
class DirectoryIterator final {
public:
    DirectoryIterator(const std::string& root, const DirectoryFilter& filter);
    ~DirectoryIterator();
    DirectoryIterator(const DirectoryIterator&) = delete;
    DirectoryIterator& operator=(const DirectoryIterator&) = delete;

    // Fills `entry` with the next listed entry; false when the walk is over. Blocks on disk.
    bool next(DirectoryEntry& entry);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace pellanor::platform
