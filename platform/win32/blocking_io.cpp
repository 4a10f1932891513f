// Win32: CancelSynchronousIo on a duplicated handle of the worker thread.
#include "platform/blocking_io.h"

#include <windows.h>

#include <mutex>

namespace pellanor::platform {
namespace {

class ThreadHandle final {
public:
    explicit ThreadHandle(HANDLE handle = nullptr) : m_handle(handle) {}
    ~ThreadHandle() {
        if (m_handle != nullptr) CloseHandle(m_handle);
    }
    ThreadHandle(const ThreadHandle&) = delete;
    ThreadHandle& operator=(const ThreadHandle&) = delete;
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

}  // namespace

struct BlockingIoCanceller::Native {
    explicit Native(HANDLE handle) : thread(handle) {}
    ThreadHandle thread;
    std::mutex mutex;
    bool retired = false;
};

std::shared_ptr<BlockingIoCanceller> BlockingIoCanceller::forCurrentThread() {
    // GetCurrentThread() is a pseudo handle meaning "the caller"; another thread needs a real one.
    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &duplicate,
                         0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return std::shared_ptr<BlockingIoCanceller>(
        new BlockingIoCanceller(std::make_unique<Native>(duplicate)));
}

BlockingIoCanceller::BlockingIoCanceller(std::unique_ptr<Native> native)
    : m_native(std::move(native)) {}

BlockingIoCanceller::~BlockingIoCanceller() = default;

void BlockingIoCanceller::cancel() {
    const std::lock_guard<std::mutex> lock(m_native->mutex);
    // Fails with ERROR_NOT_FOUND when nothing is pending, which is fine.
    if (!m_native->retired) CancelSynchronousIo(m_native->thread.get());
}

void BlockingIoCanceller::retire() {
    const std::lock_guard<std::mutex> lock(m_native->mutex);
    m_native->retired = true;
}

}  // namespace pellanor::platform
