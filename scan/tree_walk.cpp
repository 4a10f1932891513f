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
             const EntryKeep& keep, const std::function<void(platform::DirectoryEntry&&)>& take) {
    platform::DirectoryIterator entries(folder, filter);
    platform::DirectoryEntry entry;
    while (entries.next(entry)) {
        if (keep(entry)) take(std::move(entry));
    }
}

}  // namespace

void walkTreesInParts(const std::vector<std::string>& roots, platform::DirectoryFilter filter,
                      const EntryKeep& keep, const std::function<void(std::size_t)>& partCount,
                      const std::function<void(std::size_t, platform::DirectoryEntry&&)>& take) {
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

    partCount(parts.size());
    std::vector<std::size_t> trees;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].isTree) {
            trees.push_back(i);
        } else {
            take(i, std::move(parts[i].entry));
        }
    }
    parallelFor(trees.size(), [&](std::size_t t) {
        const std::size_t part = trees[t];
        walkOne(parts[part].entry.path, filter, keep,
                [&](platform::DirectoryEntry&& entry) { take(part, std::move(entry)); });
    });
}

std::vector<platform::DirectoryEntry> walkTrees(const std::vector<std::string>& roots,
                                                platform::DirectoryFilter filter,
                                                const EntryKeep& keep) {
    std::vector<std::vector<platform::DirectoryEntry>> walked;
    walkTreesInParts(
        roots, filter, keep, [&](std::size_t count) { walked.resize(count); },
        [&](std::size_t part, platform::DirectoryEntry&& entry) {
            walked[part].push_back(std::move(entry));
        });
    std::vector<platform::DirectoryEntry> kept;
    for (auto& part : walked) {
        for (platform::DirectoryEntry& entry : part) kept.push_back(std::move(entry));
        part = std::vector<platform::DirectoryEntry>();
    }
    return kept;
}

}  // namespace pellanor::scan
