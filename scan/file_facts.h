// The digest of one file and the size of one folder tree, asked for directly by the pages.
#pragma once

#include <QString>

namespace pellanor::scan {

// Lower-case hexadecimal SHA-256 of the file at `path`; empty if it cannot be opened or read.
// Logs the request. Blocks.
QString getFileSha256(const QString& path);

// Total bytes, in decimal, of the regular files under `path`, hidden and system files
// included, links neither counted nor followed (a `path` that is itself a link or junction gives
// "0"), a file with several names under it counted once where the walk knows its identity
// (POSIX); "0" for a missing folder. Logs the request. Blocks.
QString getFolderSize(const QString& path);

}  // namespace pellanor::scan
