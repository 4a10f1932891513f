// The recursive file walk behind folder measurement, kept behind one function so the
// iterator underneath can change without touching its callers.
#pragma once

#include <QString>

#include <functional>
#include <optional>

#include "platform/file_identity.h"

namespace pellanor {

// Visits every regular file under `folder`, recursively: entries the file library reports as
// links are neither visited nor entered, hidden entries are skipped (and hidden folders not
// entered). `visit` gets the file's path (forward slashes), its size and, where the walk learnt
// it on the way, its identity; it returns false to stop the walk. A folder that does not exist
// visits nothing. Blocks on the file system.
using FileVisit = std::function<bool(const QString& path, qint64 size,
                                     const std::optional<platform::FileIdentity>& identity)>;
void walkFiles(const QString& folder, const FileVisit& visit);

}  // namespace pellanor
