// Win32: the shell's recycle bin of all drives.
#include "platform/recycle_bin.h"

#include <windows.h>

#include <shellapi.h>

namespace pellanor::platform {

std::int64_t recycleBinSize() {
    SHQUERYRBINFO info{};
    info.cbSize = sizeof info;
    if (FAILED(SHQueryRecycleBinW(nullptr, &info))) return 0;
    return info.i64Size;
}

bool emptyRecycleBin() {
    return SUCCEEDED(SHEmptyRecycleBinW(nullptr, nullptr,
                                        SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND));
}

}  // namespace pellanor::platform
