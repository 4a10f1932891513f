// What every asynchronous scan shares: its context fields, the registry of running scans of
// one kind, the worker thread that runs it and the events it reports.
#pragma once

#include <QString>
#include <QVariantMap>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/blocking_io.h"

namespace pellanor::scan {

// Receives each event of a scan, on the scan's worker thread.
using ScanReport = std::function<void(const QVariantMap& event)>;

inline constexpr char kTypeKey[] = "type";
inline constexpr char kIdKey[] = "id";
inline constexpr char kDataKey[] = "data";
inline constexpr char kErrorKey[] = "error";
// Bytes counted so far, in the progress of a scan or a deletion job.
inline constexpr char kBytesKey[] = "bytes";
inline constexpr char kProgressType[] = "progress";
inline constexpr char kDoneType[] = "done";
inline constexpr char kStoppedType[] = "stopped";
inline constexpr char kErrorType[] = "error";

// A queued folder. Subfolders found by a scan are host paths already and are never expanded
// again: a folder really named "%TEMP%" must not turn into the temp folder.
struct PendingFolder {
    QString path;
    bool resolved = false;
};

struct ScanContext {
    int id = 0;
    std::atomic<bool> stopRequested{false};
    std::mutex mutex;                          // guards pendingFolders
    std::deque<PendingFolder> pendingFolders;  // FIFO: taken from the front, added at the back
    ScanReport callback;
    std::shared_ptr<platform::BlockingIoCanceller> threadHandle;
    // Threads reading files for the worker, so that a stop interrupts their reads as well;
    // guarded by `mutex`.
    std::vector<std::shared_ptr<platform::BlockingIoCanceller>> helperHandles;
    std::chrono::steady_clock::time_point lastProgressTime = std::chrono::steady_clock::now();
};

// The running scans of one kind. Lock order: this registry's lock, then a context's mutex.
template <typename Context>
class ScanRegistry final {
public:
    // Gives the context the next id (the first is 1) and registers it.
    int add(std::shared_ptr<Context> context) {
        const std::lock_guard<std::mutex> lock(m_lock);
        context->id = ++m_lastId;
        m_scans[context->id] = std::move(context);
        return m_lastId;
    }

    // Sets the stop flag, drops the queued folders and interrupts a blocked read. False if no
    // such scan is registered.
    bool stop(int id) {
        const std::lock_guard<std::mutex> lock(m_lock);
        const auto found = m_scans.find(id);
        if (found == m_scans.end()) return false;
        Context& context = *found->second;
        context.stopRequested.exchange(true);
        const std::lock_guard<std::mutex> queueLock(context.mutex);
        context.pendingFolders.clear();
        if (context.threadHandle) context.threadHandle->cancel();
        for (const auto& helper : context.helperHandles) helper->cancel();
        return true;
    }

    // Queues `folder` (unexpanded) unless the scan is unknown, finished or stopping.
    bool addFolder(int id, const QString& folder) {
        const std::lock_guard<std::mutex> lock(m_lock);
        const auto found = m_scans.find(id);
        if (found == m_scans.end() || found->second->stopRequested) return false;
        const std::lock_guard<std::mutex> queueLock(found->second->mutex);
        found->second->pendingFolders.push_back({folder, false});
        return true;
    }

    // The worker's last step: unregisters the scan unless a folder was added after the worker
    // found the queue empty, so an accepted folder is always visited. True if unregistered.
    bool finishIfIdle(Context& context) {
        const std::lock_guard<std::mutex> lock(m_lock);
        {
            const std::lock_guard<std::mutex> queueLock(context.mutex);
            if (!context.pendingFolders.empty() && !context.stopRequested) return false;
        }
        m_scans.erase(context.id);
        return true;
    }

    void remove(int id) {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_scans.erase(id);
    }

private:
    std::mutex m_lock;
    std::map<int, std::shared_ptr<Context>> m_scans;
    int m_lastId = 0;
};

// The front folder of the queue, or false when it is empty.
bool takeNextFolder(ScanContext& context, PendingFolder& folder);

// True once per `interval` (strictly more than it since the last time); then resets the clock.
bool progressDue(ScanContext& context, std::chrono::nanoseconds interval);

// Hands a progress event to the callback, then restarts the clock: the page may take a second
// over a long list, and the interval is scanning time between reports, or the scan would do
// little but report.
void reportProgress(ScanContext& context, const QVariantMap& event);

// Starts `body` on a detached worker thread at below-normal priority. The thread captures its
// own handle for cancelling and waits until `registerScan` has registered the context with
// that handle, so the worker never sees an unregistered context. Returns the id that
// `registerScan` gave. Throws std::system_error (a std::runtime_error) if no thread can be
// created; then nothing is registered.
int launchScanWorker(
    const std::function<int(std::shared_ptr<platform::BlockingIoCanceller>)>& registerScan,
    std::function<void()> body);

QVariantMap dataEvent(const char* type, int id, const QString& data);
QVariantMap errorEvent(int id, const QString& message);

// Queues the folders of a script's folder list (JSON array or comma list) for a new scan.
void queueFolders(ScanContext& context, const QString& folders);

// Registers `context` in `registry` from a new worker thread and runs `scan` there. The map
// `scan` returns, or an "error" event with `failure` when it throws, is the scan's one final
// report; a report function that throws then has nobody left to tell. Throws like
// launchScanWorker.
template <typename Context, typename Scan>
int startScan(ScanRegistry<Context>& registry, std::shared_ptr<Context> context,
              const char* failure, Scan scan) {
    return launchScanWorker(
        [&registry, context](std::shared_ptr<platform::BlockingIoCanceller> handle) {
            context->threadHandle = std::move(handle);
            return registry.add(context);
        },
        [&registry, context, failure, scan] {
            QVariantMap finalEvent;
            try {
                finalEvent = scan(*context);
            } catch (...) {
                registry.remove(context->id);
                finalEvent = errorEvent(context->id, QString::fromLatin1(failure));
            }
            try {
                context->callback(finalEvent);
            } catch (...) {
            }
        });
}

// Enlists the calling thread in `context`'s helpers for its lifetime (nothing with null).
class HelperIoScope final {
public:
    explicit HelperIoScope(ScanContext* context);
    ~HelperIoScope();
    HelperIoScope(const HelperIoScope&) = delete;
    HelperIoScope& operator=(const HelperIoScope&) = delete;

private:
    ScanContext* m_context;
    std::shared_ptr<platform::BlockingIoCanceller> m_handle;
};

// Keeps a long scan out of the user's way without sleeping after every file: a 1 ms sleep
// lasts a whole timer tick (about 15.6 ms) on Windows, so a pause per file would make a scan of
// 60,000 files spend up to a quarter of an hour asleep. Yields at most once per millisecond
// (a yield per file cost a tenth of the scan's time) and sleeps at most once per 50 ms of work.
class Pacer final {
public:
    void pause();

private:
    std::chrono::steady_clock::time_point m_lastYield = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_lastSleep = m_lastYield;
};

}  // namespace pellanor::scan
