// Cleaning of the junk categories the user ticked, and the folder emptying the chat-app
// cleaners reuse.
#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>

#include "clean/folder_size.h"

namespace pellanor {

// Keys and values of the one report of an asynchronous clean.
inline constexpr char kEventTypeKey[] = "type";
inline constexpr char kEventDone[] = "done";
inline constexpr char kEventSuccessKey[] = "success";
// Added, as true, to the "done" report of a clean that a stop cut short; absent otherwise.
inline constexpr char kEventStoppedKey[] = "stopped";

using ReportFunction = std::function<void(const QVariantMap& event)>;

// Empties `folder` (a host path) and keeps it. Hidden entries directly in it stay; a listed
// sub-folder goes with everything inside it, hidden entries included. Links are removed, never
// followed. Entries that cannot be removed stay. `stop`, if given, is asked before each entry;
// once it answers true the rest stays. Always true. Blocks on the file system.
bool clearFolderContents(const QString& folder, const CancelPredicate& stop = {});

// The `cleanPrivacyItems` script method. `types` is JSON text of an array of category ids;
// anything else cleans nothing. Handles the ids in order (repeats again, unknown ids skipped),
// leaves the cache of a running browser alone, skips (and logs) a rule whose folder expands to
// a relative path, a drive or a folder that holds the profile or the system
// (protectedFolderRefusal), and writes one summary log line with the outcome (false when a rule was
// skipped so). Always true. Blocks on the file system and, for "hibernate", on powercfg.exe for up
// to 30 seconds.
bool cleanPrivacyItems(const QString& types);

// The `cleanPrivacyItemsAsync` script method: does what cleanPrivacyItems does on a detached
// worker thread and then calls `report` once, from that thread, with {"type": "done",
// "success": <bool>}; success is false only when the cleaning was abandoned by an exception.
// A clean that stopCleanPrivacyItems cut short adds "stopped": true; what it had not reached
// stays. Returns 1 at once; throws std::system_error, and reports nothing, when no thread can
// be created.
int cleanPrivacyItemsAsync(const QString& types, ReportFunction report);

// Stops every running cleanPrivacyItemsAsync: each ends within one file removal (a running
// powercfg.exe or recycle-bin emptying is waited for) and sends its report. True when one was
// running. Does not wait.
bool stopCleanPrivacyItems();

}  // namespace pellanor
