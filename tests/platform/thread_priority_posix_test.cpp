// The POSIX stand-in of below-normal priority: per-thread nice values, read by thread id.
#include "platform/thread_priority.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

namespace pellanor::platform {
namespace {

int niceOfCurrentThread() { return ::getpriority(PRIO_PROCESS, ::syscall(SYS_gettid)); }

// Runs `body` on a new thread and returns what it returned.
template <typename Body>
int onNewThread(Body body) {
    int result = 0;
    std::thread([&] { result = body(); }).join();
    return result;
}

TEST(ThreadPriority, LowersOnlyTheCallingThreadAndNeverTwice) {
    const int normal = niceOfCurrentThread();
    const int lowered = onNewThread([] {
        lowerCurrentThreadPriority();
        return niceOfCurrentThread();
    });
    EXPECT_GT(lowered, normal);
    EXPECT_EQ(niceOfCurrentThread(), normal);
    // A helper started by a lowered worker inherits its value and calls this again itself.
    const int helper = onNewThread([&] {
        lowerCurrentThreadPriority();
        return onNewThread([] {
            lowerCurrentThreadPriority();
            return niceOfCurrentThread();
        });
    });
    EXPECT_EQ(helper, lowered);
}

}  // namespace
}  // namespace pellanor::platform
