// Win32: the thread priority classes; a new thread does not inherit its creator's.
#include "platform/thread_priority.h"

#include <windows.h>

namespace pellanor::platform {

void lowerCurrentThreadPriority() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

}  // namespace pellanor::platform
