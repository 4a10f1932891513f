// POSIX stand-in: glibc keeps freed memory of its arenas for reuse; malloc_trim gives the free
// pages back. Other C libraries have no such call and keep what they keep.
#include "platform/heap_trim.h"

#include <cstdlib>  // defines __GLIBC__ with glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace pellanor::platform {

void releaseFreeHeapMemory() {
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

}  // namespace pellanor::platform
