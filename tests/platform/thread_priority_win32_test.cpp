// Below-normal priority on Windows, where a new thread does not inherit its creator's priority.
#include "platform/thread_priority.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

namespace pellanor::platform {
namespace {

template <typename Body>
int onNewThread(Body body) {
    int result = 0;
    std::thread([&] { result = body(); }).join();
    return result;
}

int currentPriority() { return GetThreadPriority(GetCurrentThread()); }

TEST(ThreadPriority, LowersOnlyTheCallingThread) {
    const int lowered = onNewThread([] {
        lowerCurrentThreadPriority();
        return currentPriority();
    });
    EXPECT_EQ(lowered, THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_EQ(currentPriority(), THREAD_PRIORITY_NORMAL);
}

// Why every helper of a scan lowers itself: one started by a lowered worker runs at normal.
TEST(ThreadPriority, IsNotInheritedByThreadsTheLoweredThreadStarts) {
    const int helper = onNewThread([] {
        lowerCurrentThreadPriority();
        return onNewThread([] { return currentPriority(); });
    });
    EXPECT_EQ(helper, THREAD_PRIORITY_NORMAL);
}

}  // namespace
}  // namespace pellanor::platform
