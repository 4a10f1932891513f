// Shared by the POSIX backends that measure or delete whole trees without following links.
#pragma once

#include <cstdint>
#include <string>

namespace pellanor::platform::posix {

// Sum of the sizes of the regular files under `path` (or of `path` itself); symbolic links are
// neither counted nor followed.
std::int64_t treeSize(const std::string& path);

// Removes `path` and everything below it. A symbolic link is unlinked, never followed; a folder
// this user owns but may not read is made readable first. True when `path` is gone.
bool removeTree(const std::string& path);

// Removes everything inside the folder `path` and keeps the folder. A `path` that is a symbolic
// link is not entered: false. True when the folder is empty afterwards or does not exist.
bool clearFolder(const std::string& path);

}  // namespace pellanor::platform::posix
