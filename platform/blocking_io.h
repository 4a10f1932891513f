// Worker threads whose blocking file I/O can be cut short.
#pragma once

#include <cstdint>
#include <memory>

namespace pellanor::platform {

// Lets another thread interrupt the blocking reads of one worker thread.
//
// Windows cancels the thread's pending synchronous I/O (a directory read or file read then
// fails with "operation aborted"). POSIX has no such call; the nearest real mechanism is a
// signal sent to the thread with a handler installed without SA_RESTART, so a read that is
// interruptible (network and FUSE file systems, pipes) returns EINTR and the walk or read
// treats it as a failure. Reads of local disks sleep uninterruptibly on Linux and finish
// first; the caller's stop flag, checked between reads, ends the work right after. A signal
// that arrives just before the read starts is lost, as a cancel is on Windows.
class BlockingIoCanceller final {
public:
    // Captures the calling thread. Returns null if the thread cannot be captured.
    static std::shared_ptr<BlockingIoCanceller> forCurrentThread();

    ~BlockingIoCanceller();
    BlockingIoCanceller(const BlockingIoCanceller&) = delete;
    BlockingIoCanceller& operator=(const BlockingIoCanceller&) = delete;

    // Interrupts the thread's current blocking read, if any. Safe from any thread, also after
    // the thread retired (then it does nothing). Does not block.
    void cancel();

    // Called by the captured thread before it ends; later cancels do nothing.
    void retire();

    struct Native;

private:
    explicit BlockingIoCanceller(std::unique_ptr<Native> native);
    std::unique_ptr<Native> m_native;
};

}  // namespace pellanor::platform
