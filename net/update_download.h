// The update download a page starts and may cancel: `downloadUpdate` and `cancelDownload`.
// Reports reach the page's function on the UI thread through the deferred delivery the shell
// provides; this module decides what is delivered and when.
#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>

namespace pellanor::net {

// A page's callback as native code holds it: true when the page took the report, false when it
// could not (it threw, or was busy in a native call, or is gone).
using DownloadCallback = std::function<bool(const QVariantMap& report)>;

// The shell's deferred delivery. `deliver` hands a report to the function registered for the
// request on the UI thread, later, and answers 0 when it cannot schedule it; a final report ends
// the registration.
struct DownloadDelivery {
    std::function<void(const QString& requestId, DownloadCallback callback)> registerCallback;
    std::function<void(const QString& requestId)> unregisterCallback;
    std::function<unsigned(const QString& requestId, const QVariantMap& report, bool final)>
        deliver;
};

// Replaces the delivery. Until it is called, reports are queued to the Qt application's own
// thread by a stand-in with the same rules (what pellanor-cli and the tests use). Call once,
// before the first download.
void setDownloadDelivery(DownloadDelivery delivery);

// Starts downloading `url` to `savePath` and returns the request id "dl_<n>" (n counts from 1
// in each process). `callback` receives {"type": "progress", "received", "total"} reports (at
// most one waiting at a time, carrying the latest counts) and then exactly one {"type": "done",
// "path"} or {"type": "error", "error"}; a final report the page or the delivery refuses is
// offered again every 200 ms for up to 5 s. A time-out ends in the error "request timeout".
// `savePath` is mapped to the host as every path method maps it (platform::localPath), and "done"
// names the host's path; a path that is not absolute is refused with empty text, a log line and
// no report. The file a "done" names can be started as it is (on POSIX it is made executable
// first). UI thread; does not block.
QString downloadUpdate(const QString& url, const QString& savePath, DownloadCallback callback);

// Stops the download: no later report reaches its callback, and nothing it wrote remains.
// Returns `requestId`. UI thread.
QString cancelDownload(const QString& requestId);

}  // namespace pellanor::net
