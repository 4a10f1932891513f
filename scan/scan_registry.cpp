#include "scan/scan_registry.h"

#include <algorithm>
#include <future>
#include <thread>

#include "platform/thread_priority.h"
#include "scan/folder_list.h"

namespace pellanor::scan {

bool takeNextFolder(ScanContext& context, PendingFolder& folder) {
    const std::lock_guard<std::mutex> lock(context.mutex);
    if (context.pendingFolders.empty()) return false;
    folder = std::move(context.pendingFolders.front());
    context.pendingFolders.pop_front();
    return true;
}

bool progressDue(ScanContext& context, std::chrono::nanoseconds interval) {
    const auto now = std::chrono::steady_clock::now();
    if (now - context.lastProgressTime <= interval) return false;
    context.lastProgressTime = now;
    return true;
}

void reportProgress(ScanContext& context, const QVariantMap& event) {
    context.callback(event);
    context.lastProgressTime = std::chrono::steady_clock::now();
}

int launchScanWorker(
    const std::function<int(std::shared_ptr<platform::BlockingIoCanceller>)>& registerScan,
    std::function<void()> body) {
    using Canceller = std::shared_ptr<platform::BlockingIoCanceller>;
    // Both promises live in the thread that fulfils them, so neither is destroyed mid-call.
    std::promise<Canceller> handle;
    std::future<Canceller> handleReady = handle.get_future();
    std::promise<bool> registered;
    std::thread worker([handle = std::move(handle), mayRun = registered.get_future(),
                        body = std::move(body)]() mutable {
        platform::lowerCurrentThreadPriority();
        const Canceller canceller = platform::BlockingIoCanceller::forCurrentThread();
        handle.set_value(canceller);
        if (mayRun.get()) body();
        if (canceller) canceller->retire();
    });
    int id = 0;
    try {
        id = registerScan(handleReady.get());
    } catch (...) {
        registered.set_value(false);
        worker.detach();
        throw;
    }
    registered.set_value(true);
    worker.detach();
    return id;
}

QVariantMap dataEvent(const char* type, int id, const QString& data) {
    return {{kTypeKey, QString::fromLatin1(type)}, {kIdKey, id}, {kDataKey, data}};
}

void queueFolders(ScanContext& context, const QString& folders) {
    for (const QString& folder : parseFolderList(folders)) {
        if (!folder.isEmpty()) context.pendingFolders.push_back({folder, false});
    }
}

QVariantMap errorEvent(int id, const QString& message) {
    return {{kTypeKey, QString::fromLatin1(kErrorType)}, {kIdKey, id}, {kErrorKey, message}};
}

HelperIoScope::HelperIoScope(ScanContext* context) : m_context(context) {
    if (m_context == nullptr) return;
    m_handle = platform::BlockingIoCanceller::forCurrentThread();
    if (!m_handle) return;
    const std::lock_guard<std::mutex> lock(m_context->mutex);
    m_context->helperHandles.push_back(m_handle);
}

HelperIoScope::~HelperIoScope() {
    if (!m_handle) return;
    m_handle->retire();
    const std::lock_guard<std::mutex> lock(m_context->mutex);
    auto& helpers = m_context->helperHandles;
    helpers.erase(std::remove(helpers.begin(), helpers.end(), m_handle), helpers.end());
}

void Pacer::pause() {
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastYield < std::chrono::milliseconds(1)) return;
    m_lastYield = now;
    std::this_thread::yield();
    if (now - m_lastSleep < std::chrono::milliseconds(50)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    m_lastSleep = std::chrono::steady_clock::now();
}

}  // namespace pellanor::scan
