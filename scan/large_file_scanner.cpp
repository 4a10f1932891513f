// The asynchronous scan lists one folder level per visit and queues the subfolders, so folders
// added while it runs interleave breadth-first with the rest; a round of queued folders is
// listed over the cores at once. The blocking search walks the trees over the cores too.
#include "scan/large_file_scanner.h"

#include <thread>
#include <vector>

#include "scan/file_record.h"
#include "scan/folder_list.h"
#include "scan/incremental_reports.h"
#include "scan/parallel.h"
#include "scan/tree_walk.h"

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

// One level of one folder, listed by any thread: qualifying files and visible subfolders in
// the order two separate listings (files, then folders) would give them.
struct FolderLevel {
    std::vector<FileRecord> files;
    std::vector<PendingFolder> subfolders;
};

// A stop abandons the level, subfolders included.
FolderLevel listLevel(ScanContext& context, const PendingFolder& folder, qint64 minSize) {
    FolderLevel level;
    const QString root = folder.resolved ? folder.path : scanRoot(folder.path);
    if (root.isEmpty() || context.stopRequested) return level;
    platform::DirectoryFilter filter = visibleFiles(false);
    filter.directories = true;
    platform::DirectoryIterator entries(root.toStdString(), filter);
    platform::DirectoryEntry entry;
    while (entries.next(entry)) {
        if (context.stopRequested) return {};
        if (entry.isDirectory) {
            level.subfolders.push_back({QString::fromStdString(entry.path), true});
        } else if (entry.size >= minSize) {
            FileRecord record = recordFrom(entry);
            identify(record);
            level.files.push_back(std::move(record));
        }
    }
    return level;
}

// Enough folders per round to keep both cores listing, few enough that progress still comes
// about every interval and a stop is not kept waiting by a long round.
constexpr std::size_t kFoldersPerRound = 64;

std::vector<PendingFolder> takeRound(LargeFileScanContext& context) {
    std::vector<PendingFolder> round;
    PendingFolder folder;
    while (round.size() < kFoldersPerRound && !context.stopRequested &&
           takeNextFolder(context, folder)) {
        round.push_back(std::move(folder));
    }
    return round;
}

// Lists a round of queued folders over the cores, then takes their files and queues their
// subfolders in queue order, so the records, and which path of a file is kept, are those of
// visiting the folders one by one.
void visitRound(LargeFileScanContext& context, const std::vector<PendingFolder>& round,
                qint64 minSize, std::vector<FileRecord>& found) {
    std::vector<FolderLevel> levels(round.size());
    parallelFor(
        round.size(), [&](std::size_t i) { levels[i] = listLevel(context, round[i], minSize); },
        &context);
    for (FolderLevel& level : levels) {
        if (context.stopRequested) return;
        for (FileRecord& record : level.files) {
            if (context.seenFiles.take(record)) found.push_back(std::move(record));
        }
        if (level.subfolders.empty()) continue;
        const std::lock_guard<std::mutex> lock(context.mutex);
        for (PendingFolder& subfolder : level.subfolders) {
            context.pendingFolders.push_back(std::move(subfolder));
        }
    }
}

void reportProgressIfDue(LargeFileScanContext& context, const std::vector<FileRecord>& found) {
    if (!progressDue(context, kProgressInterval) || found.empty()) return;
    std::vector<FileRecord> sorted = found;
    sortBySizeDescending(sorted);
    reportProgress(context, dataEvent(kProgressType, context.id, listDocument(sorted)));
}

// What the scan keeps of its records and how it reports them: the whole list, largest first,
// in every report (WholeList), or only what is new (NewRecords).
class WholeList final {
public:
    std::vector<FileRecord>& pending() { return m_found; }
    void progressIfDue(LargeFileScanContext& context) { reportProgressIfDue(context, m_found); }
    QString finalText(LargeFileScanContext&) {
        sortBySizeDescending(m_found);
        return listDocument(m_found);
    }
    void commitFinal() {}

private:
    std::vector<FileRecord> m_found;
};

class NewRecords final {
public:
    std::vector<FileRecord>& pending() { return m_reports.pending(); }
    void progressIfDue(LargeFileScanContext& context) {
        if (progressDue(context, kProgressInterval) && !pending().empty()) {
            m_reports.sendProgress(context);
        }
    }
    QString finalText(LargeFileScanContext& context) { return m_reports.finalText(context); }
    void commitFinal() { m_reports.commitFinal(); }

private:
    NewRecordReports m_reports;
};

// Returns the final event.
template <typename Reports>
QVariantMap runScan(LargeFileScanContext& context, qint64 minSize) {
    Reports reports;
    for (;;) {
        for (std::vector<PendingFolder> round = takeRound(context); !round.empty();
             round = takeRound(context)) {
            visitRound(context, round, minSize, reports.pending());
            reports.progressIfDue(context);
            std::this_thread::yield();
        }
        reports.progressIfDue(context);
        const QString document = reports.finalText(context);
        if (registry().finishIfIdle(context)) {
            reports.commitFinal();
            return dataEvent(context.stopRequested ? kStoppedType : kDoneType, context.id,
                             document);
        }
    }
}

template <typename Reports>
int startLargeFileScan(const QString& folders, double minSize, ScanReport report) {
    auto context = std::make_shared<LargeFileScanContext>();
    queueFolders(*context, folders);
    context->callback = std::move(report);
    const qint64 threshold = minSizeFromScriptNumber(minSize);
    return startScan(registry(), context, kFailure, [threshold](LargeFileScanContext& scanned) {
        return runScan<Reports>(scanned, threshold);
    });
}

}  // namespace

QString scanLargeFiles(const QString& folders, double minSize) {
    const qint64 threshold = minSizeFromScriptNumber(minSize);
    std::vector<std::string> roots;
    for (const QString& folder : parseFolderList(folders)) {
        if (folder.isEmpty()) continue;
        const QString root = scanRoot(folder);
        if (!root.isEmpty()) roots.push_back(root.toStdString());
    }
    const std::vector<platform::DirectoryEntry> large = walkTrees(
        roots, visibleFiles(true),
        [threshold](const platform::DirectoryEntry& entry) { return entry.size >= threshold; });
    // Taken in walk order, so a file reached by several paths keeps the one met first.
    std::vector<FileRecord> found;
    SeenFiles seen;
    for (const platform::DirectoryEntry& entry : large) takeLargeFile(seen, entry, found);
    sortBySizeDescending(found);
    return listDocument(found);
}

int startScanLargeFiles(const QString& folders, double minSize, ScanReport report) {
    return startLargeFileScan<WholeList>(folders, minSize, std::move(report));
}

int startScanLargeFilesIncremental(const QString& folders, double minSize, ScanReport report) {
    return startLargeFileScan<NewRecords>(folders, minSize, std::move(report));
}

bool stopScanLargeFiles(int id) { return registry().stop(id); }

bool addScanLargeFilesFolder(int id, const QString& folder) {
    return registry().addFolder(id, folder);
}

}  // namespace pellanor::scan
