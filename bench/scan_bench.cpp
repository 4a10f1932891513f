// Bench-only driver: runs one scan module function on the command line and prints its result,
// so the scripts can time it next to the peer tools.
//
//   scan_bench duplicates <folders>          findDuplicateFiles
//   scan_bench large <folders> <minSize>     scanLargeFiles
//   scan_bench duplicates-async <folders>    startScanDuplicateFiles, waits for the final event
//   scan_bench large-async <folders> <min>   startScanLargeFiles, waits for the final event
//   scan_bench sha256 <file>                 getFileSha256
#include <QCoreApplication>
#include <QString>
#include <QVariantMap>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "scan/duplicate_finder.h"
#include "scan/file_facts.h"
#include "scan/large_file_scanner.h"

namespace {

using namespace pellanor::scan;

template <typename Start>
QString waitForFinal(Start start) {
    std::mutex mutex;
    std::condition_variable finished;
    QString data;
    bool done = false;
    start([&](const QVariantMap& event) {
        if (event.value(kTypeKey).toString() == kProgressType) return;
        const std::lock_guard<std::mutex> lock(mutex);
        data = event.value(kDataKey).toString();
        done = true;
        finished.notify_all();
    });
    std::unique_lock<std::mutex> lock(mutex);
    finished.wait(lock, [&] { return done; });
    return data;
}

int usage() {
    std::fputs("usage: scan_bench duplicates|duplicates-async|large|large-async|sha256 ARGS\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 3) return usage();
    const QString& mode = args[1];
    const double minSize = args.size() > 3 ? args[3].toDouble() : 0;
    QString out;
    if (mode == "duplicates") {
        out = findDuplicateFiles(args[2]);
    } else if (mode == "large") {
        out = scanLargeFiles(args[2], minSize);
    } else if (mode == "duplicates-async") {
        out = waitForFinal([&](ScanReport report) { startScanDuplicateFiles(args[2], report); });
    } else if (mode == "large-async") {
        out =
            waitForFinal([&](ScanReport report) { startScanLargeFiles(args[2], minSize, report); });
    } else if (mode == "sha256") {
        out = getFileSha256(args[2]);
    } else {
        return usage();
    }
    const QByteArray utf8 = out.toUtf8();
    std::fwrite(utf8.constData(), 1, static_cast<std::size_t>(utf8.size()), stdout);
    std::fputc('\n', stdout);
    return 0;
}
