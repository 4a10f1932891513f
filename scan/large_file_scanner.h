// Finding files at or above a minimum size: one blocking search and asynchronous scans with
// progress, extra folders and stop.
#pragma once

#include <QString>

#include "scan/file_record.h"
#include "scan/scan_registry.h"

namespace pellanor::scan {

struct LargeFileScanContext final : ScanContext {
    SeenFiles seenFiles;  // the worker's alone
};

// JSON text {"list": [...]} of every visible, readable file under `folders` (a JSON array
// text or a comma list, %NAME% references expanded) whose size is at least `minSize` (see
// minSizeFromScriptNumber), largest first. Missing folders are skipped. A file is listed once,
// by its first path, however many folders, links to folders or hard links reach it. Blocks
// until the walk ends.
QString scanLargeFiles(const QString& folders, double minSize);

// Starts a scan on a worker thread and returns its id (the first is 1). `report` gets
// "progress" events (at most every 500 ms, after a folder level, only once something was found)
// and exactly one final "done", "stopped" or "error" event. Throws std::runtime_error if the
// worker thread cannot be created.
int startScanLargeFiles(const QString& folders, double minSize, ScanReport report);

// As startScanLargeFiles, but each report carries counts and only the records found since the
// previous one (incremental_reports.h), in the order they were found: a page sorts them. The
// union of the reports is the list the final report of startScanLargeFiles gives. Several
// "progress" reports follow one another when more is new than one report may carry. Stopped
// and extended with the rows below, which know both kinds of scan by their ids.
int startScanLargeFilesIncremental(const QString& folders, double minSize, ScanReport report);

// False if no such scan is running; otherwise stops it and returns true. Does not block.
bool stopScanLargeFiles(int id);

// Queues one more folder. False if the scan is unknown, finished or stopping.
bool addScanLargeFilesFolder(int id, const QString& folder);

}  // namespace pellanor::scan
