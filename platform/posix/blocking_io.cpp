// POSIX: a no-op signal handler without SA_RESTART turns a thread-directed signal into EINTR.
#include "platform/blocking_io.h"

#include <pthread.h>

#include <csignal>
#include <mutex>

namespace pellanor::platform {
namespace {

// A real-time signal nothing else in the program uses; glibc keeps the first two for itself
// and SIGRTMIN already starts after them.
int cancelSignal() { return SIGRTMIN + 4; }

void ignoreSignal(int) {}

void installHandlerOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = ignoreSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        ::sigaction(cancelSignal(), &action, nullptr);
    });
}

}  // namespace

struct BlockingIoCanceller::Native {
    pthread_t thread;
    std::mutex mutex;
    bool retired = false;
};

std::shared_ptr<BlockingIoCanceller> BlockingIoCanceller::forCurrentThread() {
    installHandlerOnce();
    auto native = std::make_unique<Native>();
    native->thread = ::pthread_self();
    return std::shared_ptr<BlockingIoCanceller>(new BlockingIoCanceller(std::move(native)));
}

BlockingIoCanceller::BlockingIoCanceller(std::unique_ptr<Native> native)
    : m_native(std::move(native)) {}

BlockingIoCanceller::~BlockingIoCanceller() = default;

// pthread_kill on a thread that has ended is undefined, hence the retired flag under the lock.
void BlockingIoCanceller::cancel() {
    const std::lock_guard<std::mutex> lock(m_native->mutex);
    if (!m_native->retired) ::pthread_kill(m_native->thread, cancelSignal());
}

void BlockingIoCanceller::retire() {
    const std::lock_guard<std::mutex> lock(m_native->mutex);
    m_native->retired = true;
}

}  // namespace pellanor::platform
