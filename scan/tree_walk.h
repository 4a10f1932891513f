// One recursive walk of folder trees spread over the cores, listing exactly what a single
// walk would list, in the same order.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/directory_iterator.h"

namespace pellanor::scan {

// Says whether a listed entry is handed back. Runs on several threads at once, so anything it
// counts must be safe to share; it must not throw.
using EntryKeep = std::function<bool(const platform::DirectoryEntry& entry)>;

// Walks `roots` one after another with `filter` (recursive whatever it says) and returns the
// entries `keep` accepts, in the order one recursive DirectoryIterator per root would list them,
// so the result is the same list, however the work was shared. Sub-folders are walked on up to
// one thread per core, the caller's included. Missing or unreadable folders list nothing.
// Blocks until the walk ends.
std::vector<platform::DirectoryEntry> walkTrees(const std::vector<std::string>& roots,
                                                platform::DirectoryFilter filter,
                                                const EntryKeep& keep);

}  // namespace pellanor::scan
