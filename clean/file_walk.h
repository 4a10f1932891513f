// The recursive file walk behind folder measurement, kept behind one function so the
// iterator underneath can change without touching its callers.
#pragma once

#include <QString>

#include <functional>

#include "platform/directory_iterator.h"

namespace pellanor {

// Visits every regular file under `folder`, recursively: entries the file library reports as
// links are neither visited nor entered, hidden entries are skipped (and hidden folders not
// entered). `visit` gets the listed entry (path with forward slashes, size, and the identity
// where the walk learnt it on the way) and returns false to stop the walk. A folder that does
// not exist visits nothing. Blocks on the file system.
using FileVisit = std::function<bool(const platform::DirectoryEntry& file)>;
void walkFiles(const QString& folder, const FileVisit& visit);

}  // namespace pellanor
