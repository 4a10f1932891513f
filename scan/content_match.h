// Digests for a few files of equal size and equal first bytes, reading each distinct content
// through SHA-256 only once: the other files are compared with it byte for byte, and equal
// bytes have equal digests. A file whose content no other file of the set shares is not
// hashed at all, as it cannot be anyone's duplicate.
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <vector>

namespace pellanor::scan {

struct ContentDigest {
    QString digest;  // empty when unreadable, when `unique`, or after a stop
    // Not hashed: no other file of the set was found to have the same bytes (an unreadable
    // file alone may be marked so too; either way it joins no group).
    bool unique = false;
};

// Sets larger than this are hashed file by file: comparing each file with every distinct
// content seen so far grows with the square of the set.
inline constexpr int kMaxComparedFiles = 8;

// The SHA-256 of each file, read one by one; never `unique`. Blocks; safe on any thread.
std::vector<ContentDigest> digestsOneByOne(const QStringList& paths, qint64 size,
                                           const std::atomic<bool>* stop);

// One answer per path, in order. Blocks; safe on any thread.
std::vector<ContentDigest> digestsByContent(const QStringList& paths, qint64 size,
                                            const std::atomic<bool>* stop);

}  // namespace pellanor::scan
