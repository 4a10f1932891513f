// Deleting, or moving away, many files the user chose from a result list: one worker takes the
// whole list, checks each file against what the scan saw just before it goes, and tells what
// became of every file and how many bytes the disk got back.
#pragma once

#include <QString>

#include "scan/scan_registry.h"

namespace pellanor::scan {

// Keys of the job's reports and of its result document.
inline constexpr char kDoneKey[] = "done";
inline constexpr char kTotalKey[] = "total";
inline constexpr char kCurrentKey[] = "current";
inline constexpr char kFreedBytesKey[] = "freedBytes";
inline constexpr char kSucceededKey[] = "succeeded";
inline constexpr char kFailedKey[] = "failed";
inline constexpr char kOutcomesKey[] = "files";
inline constexpr char kOutcomeKey[] = "outcome";
inline constexpr char kReasonKey[] = "reason";
// Options.
inline constexpr char kModeKey[] = "mode";
inline constexpr char kTargetKey[] = "target";

// Starts a job over `entries` (JSON array text, see parseDeletionEntries) on a worker thread
// below normal priority and returns its id (the first is 1). `options` is JSON text:
// {"mode": "delete"} (permanent, the default) or {"mode": "move", "target": folder}, the folder
// created when missing. `report` gets "progress" events at most ten times a second ({"id",
// "done", "total", "bytes", "current"}) and exactly one final "done", "stopped" or "error"
// event whose "data" is the result document. Returns 0 and logs the cause when the entries or
// options cannot be read or the target folder cannot be made. Throws std::runtime_error if
// the worker thread cannot be created.
int startDeleteFiles(const QString& entries, const QString& options, ScanReport report);

// Asks the job to stop; it ends within 0.2 s with "stopped". False if no such job runs.
bool stopDeleteFiles(int id);

}  // namespace pellanor::scan
