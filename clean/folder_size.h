// Recursive folder size, shared by the junk list and the chat-app cleaners.
#pragma once

#include <QSet>
#include <QString>

#include <functional>

namespace pellanor {

// Keys "<volume serial>:<file index>" of files already counted, so a file reached through
// several measured folders or hard links counts once. Used by one thread at a time.
using SeenFileSet = QSet<QString>;

// Returns true when the caller's work has been cancelled.
using CancelPredicate = std::function<bool()>;

// The key of `path` in a SeenFileSet, or a null string when the file cannot be opened or its
// identity read. Blocks on the file system.
QString seenFileKey(const QString& path);

// Sum of the sizes of the files under `path` (a host path), recursively; hidden entries and
// links are not counted and links not followed. A missing folder gives 0. Before each file
// `cancel`, if given, is asked; once it answers true the sum so far is returned. With
// `seenFiles`, a file whose key is already in the set is skipped and new keys are added; a file
// without a key is counted. Blocks on the file system; keeps no state of its own.
quint64 computeFolderSize(const QString& path, const CancelPredicate& cancel = {},
                          SeenFileSet* seenFiles = nullptr);

// How a junk rule cleans the folder it measured, so that the measurement counts what goes.
enum class FolderClean {
    Empty,   // emptyFolder(): hidden entries directly in the folder stay, all below others goes
    Remove,  // removeFolderTree(): the folder goes with everything inside it
};

// Bytes the disk gets back when the folder `path` (a host path) is cleaned the way `clean`
// says: every regular file that goes, hidden ones included, at every depth; links inside are
// neither counted nor followed, and a `path` that is itself a link or junction gives 0 (the
// clean removes or refuses the link and frees nothing of its target). A file with more than
// one hard link counts once, and only when all its links are in the folder. Windows' walk does
// not learn link counts, so there each path counts as a file of its own. A missing folder
// gives 0. Before each file `cancel`, if given, is asked; once it answers true the sum so far
// is returned. Blocks on the file system.
quint64 reclaimableFolderSize(const QString& path, FolderClean clean,
                              const CancelPredicate& cancel = {});

}  // namespace pellanor
