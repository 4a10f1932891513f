// Scheduling priority of worker threads, so that long scans stay out of the user's way.
#pragma once

namespace pellanor::platform {

// Runs the calling thread "below normal" from now on. Every worker and helper thread calls it
// itself at its start: on Windows a new thread starts at normal priority whatever its creator's.
//
// Windows: SetThreadPriority(THREAD_PRIORITY_BELOW_NORMAL). POSIX stand-in: the thread's nice
// value becomes the process's (its main thread's) plus a small step; a thread already at least
// that nice is left alone, so a thread that inherited the value is not lowered twice. Failures
// are ignored: the work runs at whatever priority it has. Does not block.
void lowerCurrentThreadPriority();

}  // namespace pellanor::platform
