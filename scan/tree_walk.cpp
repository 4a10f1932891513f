// The walk is cut into parts at the top of the trees: the first levels are listed here, in
// order, until there are enough sub-folders to keep every core busy; each of those is then
// walked whole by one thread, and the parts are joined in listing order. The iterator lists a
// folder's tree right where the folder is met, so the joined list is the serial one.
#include "scan/tree_walk.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "scan/parallel.h"

namespace pellanor::scan {
namespace {

// Enough parts per core that one large folder among them does not leave a core idle for long;
// the levels are listed on one thread, so their number stays small.
constexpr std::size_t kPartsPerCore = 16;
constexpr int kMaxSplitLevels = 4;

// Either an entry already taken, or a folder whose whole tree is still to be walked.
struct Part {
    platform::DirectoryEntry entry;
    bool isTree = false;
};

// Lists one level of `folder` into `parts`: entries `keep` accepts, and each sub-folder as a
// tree part right after its own entry. Sub-folders the filter would not list are not entered
// by the recursive walk either (hidden ones without `hidden`); a folder it drops as unreadable
// would have listed nothing when entered.
void splitLevel(const std::string& folder, const platform::DirectoryFilter& filter,
                const EntryKeep& keep, std::vector<Part>& parts) {
    platform::DirectoryFilter level = filter;
    level.recursive = false;
    level.directories = true;
    platform::DirectoryIterator entries(folder, level);
    Part part;
    while (entries.next(part.entry)) {
        const bool isFolder = part.entry.isDirectory;
        if ((!isFolder || filter.directories) && keep(part.entry)) {
            parts.push_back(Part{part.entry, false});
        }
        if (isFolder) parts.push_back(Part{std::move(part.entry), true});
    }
}

std::size_t countTrees(const std::vector<Part>& parts) {
    return static_cast<std::size_t>(
        std::count_if(parts.begin(), parts.end(), [](const Part& p) { return p.isTree; }));
}

std::vector<Part> splitTrees(std::vector<Part> parts, const platform::DirectoryFilter& filter,
                             const EntryKeep& keep, std::size_t wanted) {
    for (int level = 0; level < kMaxSplitLevels; ++level) {
        const std::size_t trees = countTrees(parts);
        if (trees == 0 || trees >= wanted) break;
        std::vector<Part> next;
        for (Part& part : parts) {
            if (part.isTree) {
                splitLevel(part.entry.path, filter, keep, next);
            } else {
                next.push_back(std::move(part));
            }
        }
        parts = std::move(next);
    }
    return parts;
}

void walkOne(const std::string& folder, const platform::DirectoryFilter& filter,
             const EntryKeep& keep, std::vector<platform::DirectoryEntry>& kept) {
    platform::DirectoryIterator entries(folder, filter);
    platform::DirectoryEntry entry;
    while (entries.next(entry)) {
        if (keep(entry)) kept.push_back(std::move(entry));
    }
}

}  // namespace

std::vector<platform::DirectoryEntry> walkTrees(const std::vector<std::string>& roots,
                                                platform::DirectoryFilter filter,
                                                const EntryKeep& keep) {
    filter.recursive = true;
    std::vector<Part> parts;
    for (const std::string& root : roots) {
        Part part;
        part.entry.path = root;
        part.isTree = true;
        parts.push_back(std::move(part));
    }
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    if (cores > 1) parts = splitTrees(std::move(parts), filter, keep, cores * kPartsPerCore);

    std::vector<std::size_t> trees;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].isTree) trees.push_back(i);
    }
    std::vector<std::vector<platform::DirectoryEntry>> walked(trees.size());
    parallelFor(trees.size(), [&](std::size_t i) {
        walkOne(parts[trees[i]].entry.path, filter, keep, walked[i]);
    });

    std::vector<platform::DirectoryEntry> kept;
    std::size_t tree = 0;
    for (Part& part : parts) {
        if (!part.isTree) {
            kept.push_back(std::move(part.entry));
            continue;
        }
        for (platform::DirectoryEntry& entry : walked[tree]) kept.push_back(std::move(entry));
        ++tree;
    }
    return kept;
}

}  // namespace pellanor::scan
