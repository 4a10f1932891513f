// POSIX stand-in: Linux keeps a nice value per thread, addressed by its thread id, and a new
// thread inherits its creator's. The value is set, not stepped, so it means the same in a
// thread that inherited it.
#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace pellanor::platform {
namespace {

// The nearest thing to "below normal": a few steps nicer than the process (0 to 19 is the
// whole range an unprivileged process may use).
constexpr int kBelowNormalNice = 4;

// getpriority may return -1 as a value; only errno tells a failure.
bool niceOf(id_t thread, int* value) {
    errno = 0;
    *value = ::getpriority(PRIO_PROCESS, thread);
    return errno == 0;
}

}  // namespace

void lowerCurrentThreadPriority() {
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    int normal = 0;
    int current = 0;
    // The process id names the main thread, whose value counts as normal.
    if (!niceOf(static_cast<id_t>(::getpid()), &normal) || !niceOf(thread, &current)) return;
    if (current < normal + kBelowNormalNice) {
        ::setpriority(PRIO_PROCESS, thread, normal + kBelowNormalNice);
    }
}

}  // namespace pellanor::platform
