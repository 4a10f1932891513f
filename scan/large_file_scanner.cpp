// The asynchronous scan lists one folder level per visit and queues the subfolders, so folders
// added while it runs interleave breadth-first with the rest.
#include "scan/large_file_scanner.h"

#include <thread>
#include <vector>

#include "scan/file_record.h"
#include "scan/folder_list.h"

namespace pellanor::scan {
namespace {

constexpr std::chrono::milliseconds kProgressInterval(500);
const char kFailure[] = "scan large files failed";

ScanRegistry<LargeFileScanContext>& registry() {
    static ScanRegistry<LargeFileScanContext> scans;
    return scans;
}

// Large files are few, so asking each for its identity where the walk did not give it costs
// little.
void takeLargeFile(SeenFiles& seen, const platform::DirectoryEntry& entry,
                   std::vector<FileRecord>& found) {
    FileRecord record = recordFrom(entry);
    identify(record);
    if (seen.take(record)) found.push_back(std::move(record));
}

// Lists one level of `folder`: qualifying files go to `found`, visible subfolders to the back
// of the queue. A stop abandons the level, subfolders included. One listing yields both, in
// the order two separate listings (files, then folders) would give them.
void visitFolder(LargeFileScanContext& context, const PendingFolder& folder, qint64 minSize,
                 std::vector<FileRecord>& found) {
    const QString root = folder.resolved ? folder.path : scanRoot(folder.path);
    if (root.isEmpty() || context.stopRequested) return;
    platform::DirectoryFilter filter = visibleFiles(false);
    filter.directories = true;
    platform::DirectoryIterator entries(root.toStdString(), filter);
    platform::DirectoryEntry entry;
    std::vector<PendingFolder> subfolders;
    while (!context.stopRequested && entries.next(entry)) {
        if (context.stopRequested) return;
        if (entry.isDirectory) {
            subfolders.push_back({QString::fromStdString(entry.path), true});
        } else if (entry.size >= minSize) {
            takeLargeFile(context.seenFiles, entry, found);
        }
    }
    if (context.stopRequested || subfolders.empty()) return;
    const std::lock_guard<std::mutex> lock(context.mutex);
    for (PendingFolder& subfolder : subfolders) {
        context.pendingFolders.push_back(std::move(subfolder));
    }
}

void reportProgressIfDue(LargeFileScanContext& context, const std::vector<FileRecord>& found) {
    if (!progressDue(context, kProgressInterval) || found.empty()) return;
    std::vector<FileRecord> sorted = found;
    sortBySizeDescending(sorted);
    reportProgress(context, dataEvent(kProgressType, context.id, listDocument(sorted)));
}

// Returns the final event.
QVariantMap runScan(LargeFileScanContext& context, qint64 minSize) {
    std::vector<FileRecord> found;
    PendingFolder folder;
    for (;;) {
        while (!context.stopRequested && takeNextFolder(context, folder)) {
            visitFolder(context, folder, minSize, found);
            reportProgressIfDue(context, found);
            std::this_thread::yield();
        }
        reportProgressIfDue(context, found);
        sortBySizeDescending(found);
        const QString document = listDocument(found);
        if (registry().finishIfIdle(context)) {
            return dataEvent(context.stopRequested ? kStoppedType : kDoneType, context.id,
                             document);
        }
    }
}

}  // namespace

QString scanLargeFiles(const QString& folders, double minSize) {
    const qint64 threshold = minSizeFromScriptNumber(minSize);
    std::vector<FileRecord> found;
    SeenFiles seen;
    platform::DirectoryEntry entry;
    for (const QString& folder : parseFolderList(folders)) {
        if (folder.isEmpty()) continue;
        const QString root = scanRoot(folder);
        if (root.isEmpty()) continue;
        platform::DirectoryIterator files(root.toStdString(), visibleFiles(true));
        while (files.next(entry)) {
            if (entry.size >= threshold) takeLargeFile(seen, entry, found);
        }
    }
    sortBySizeDescending(found);
    return listDocument(found);
}

int startScanLargeFiles(const QString& folders, double minSize, ScanReport report) {
    auto context = std::make_shared<LargeFileScanContext>();
    queueFolders(*context, folders);
    context->callback = std::move(report);
    const qint64 threshold = minSizeFromScriptNumber(minSize);
    return startScan(registry(), context, kFailure, [threshold](LargeFileScanContext& scanned) {
        return runScan(scanned, threshold);
    });
}

bool stopScanLargeFiles(int id) { return registry().stop(id); }

bool addScanLargeFilesFolder(int id, const QString& folder) {
    return registry().addFolder(id, folder);
}

}  // namespace pellanor::scan
