// Windows: the C runtime's heap gives back its free blocks with _heapmin; HeapCompact then
// coalesces the process heap and decommits what it can.
#include "platform/heap_trim.h"

#include <malloc.h>
#include <windows.h>

namespace pellanor::platform {

void releaseFreeHeapMemory() {
    ::_heapmin();
    ::HeapCompact(::GetProcessHeap(), 0);
}

}  // namespace pellanor::platform
