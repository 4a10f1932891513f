// Which files running processes hold, the nearest Linux has to Windows' lock on a file in use.
#pragma once

#include <sys/types.h>

#include <set>
#include <utility>

namespace pellanor::platform::posix {

class HeldFiles final {
public:
    // Reads /proc once: every process's open descriptors, mapped files, working folder and root
    // folder. Processes this user may not inspect are passed over, and so is one that ends
    // during the scan. Files opened after the scan are not seen. Blocks on /proc.
    static HeldFiles scan();

    bool holds(dev_t device, ino_t inode) const { return m_files.count({device, inode}) != 0; }
    const std::set<std::pair<dev_t, ino_t>>& files() const { return m_files; }

private:
    std::set<std::pair<dev_t, ino_t>> m_files;
};

}  // namespace pellanor::platform::posix
