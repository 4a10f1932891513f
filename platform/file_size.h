// Size of one file that may be hidden from listings or held open by the system (the
// hibernation file is both).
#pragma once

#include <cstdint>
#include <string>

namespace pellanor::platform {

// Size in bytes of the file at `path` (a host path). Windows tries, in order, the find-file
// data, an opened handle with no access rights, and the attribute data; POSIX asks stat. A
// directory, a missing file or a file no step can read gives 0. Blocks on the file system.
std::int64_t singleFileSize(const std::string& path);

}  // namespace pellanor::platform
