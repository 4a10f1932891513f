// Handing freed heap memory back to the system, for a process that drops a large working set
// and then builds another: memory freed on worker threads, or in the middle of the heap, stays
// counted against the process until the allocator is asked to return it.
#pragma once

namespace pellanor::platform {

// Returns whole free pages of every heap to the system where the allocator can. Costs about a
// millisecond per hundred megabytes of heap; nothing changes for live allocations. Failures are
// ignored. Blocks briefly; safe on any thread.
//
// POSIX (glibc): malloc_trim(0), which also releases free pages inside the per-thread arenas.
// Windows: _heapmin() for the C runtime's heap, then HeapCompact on the process heap.
void releaseFreeHeapMemory();

}  // namespace pellanor::platform
