// Shared by the POSIX backends that measure whole trees without following links.
#pragma once

#include <cstdint>
#include <string>

namespace pellanor::platform::posix {

// Sum of the sizes of the regular files under `path` (or of `path` itself); symbolic links are
// neither counted nor followed. Blocks on the file system.
std::int64_t treeSize(const std::string& path);

}  // namespace pellanor::platform::posix
