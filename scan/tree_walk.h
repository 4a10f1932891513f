// One recursive walk of folder trees spread over the cores, listing exactly what a single
// walk would list, in the same order.
#pragma once

#include <cstddef>
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

// Hands each accepted entry to `take(part, entry)` instead of listing it: the walk is cut into
// `partCount(n)` parts (called once, on the calling thread, before any take), numbered in
// listing order, and the entries of one part arrive in listing order from one thread at a time;
// parts arrive on several threads at once. Concatenating the parts in number order gives
// walkTrees' list, without one DirectoryEntry held per listed file. Blocks until the walk ends.
void walkTreesInParts(const std::vector<std::string>& roots, platform::DirectoryFilter filter,
                      const EntryKeep& keep, const std::function<void(std::size_t)>& partCount,
                      const std::function<void(std::size_t, platform::DirectoryEntry&&)>& take);

}  // namespace pellanor::scan
