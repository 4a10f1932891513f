// The recursive file walk behind folder measurement, kept behind one function so the
// iterator underneath can change without touching its callers.
#pragma once

#include <QString>

#include <functional>

namespace pellanor {

// Visits every regular file under `folder`, recursively: entries the file library reports as
// links are neither visited nor entered, hidden entries are skipped (and hidden folders not
// entered). `visit` gets the file's path (forward slashes) and size and returns false to stop
// the walk. A folder that does not exist visits nothing. Blocks on the file system.
void walkFiles(const QString& folder, const std::function<bool(const QString&, qint64)>& visit);

}  // namespace pellanor
