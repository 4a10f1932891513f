// The engine both chat-app cleaners run on: finding the accounts under an app's root folders,
// measuring and emptying its four categories, the asynchronous scan with its generation
// counter, the asynchronous clean and opening a category folder. Each app supplies a table
// (ChatApp); wechat_cleaner.h and qq_cleaner.h hold the two tables and their script methods.
//
// Folder paths are kept in the form the user sees (Windows-shaped: roots with native
// separators, account folders as the file library gives them, the parts below joined with
// backslashes) and mapped to the host only where the file system is touched.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <cstdint>

#include "clean/clean_stop.h"
#include "clean/junk_cleaner.h"

namespace pellanor {

// Keys and values of the scan reports; "type" and "done" are in junk_cleaner.h.
inline constexpr char kEventProgress[] = "progress";
inline constexpr char kEventStopped[] = "stopped";
inline constexpr char kEventError[] = "error";
inline constexpr char kEventDataKey[] = "data";
inline constexpr char kEventErrorKey[] = "error";
// The item of a progress report carries the JunkItem keys plus per-account sizes.
inline constexpr char kChatDetailsKey[] = "details";
inline constexpr char kChatDetailPathKey[] = "path";
inline constexpr char kChatDetailSizeKey[] = "size";

// Joins the root folders into the path every item shows.
inline constexpr char kChatRootSeparator[] = " ; ";

struct ChatCategory {
    const char* type;
    const char* name;
    const char* description;
};

struct ChatApp {
    const char* logName;                     // how the log lines name the app: "wechat", "qq"
    std::array<ChatCategory, 4> categories;  // in list order
    // The ordered root folders, without duplicates; existing or not. Blocks (registry, disk).
    QStringList (*rootFolders)();
    // A direct sub-folder of a root holding an entry of one of these names is an account.
    std::array<const char*, 3> accountMarkers;
    // The folders of category `type` in account folder `account`, existing or not; none for an
    // unknown type. Blocks on the file system.
    QStringList (*accountFolders)(const QString& type, const QString& account);
    // Starts at 0; every scan start and stop advances it, and a scan runs while it is current.
    std::atomic<std::uint32_t>* scanGeneration;
    // Stops the app's running asynchronous cleans; nothing in common with the scan's counter.
    CleanStop* cleanStop;
};

// The user's Documents folder with native separators, or empty (logged) when the system cannot
// tell. Blocks briefly.
QString chatDocumentsFolder();

// A text value under HKEY_CURRENT_USER, trimmed; empty when the key or value is missing,
// unreadable or not a string. Blocks briefly on the registry.
QString chatRegistryText(const char* keyPath, const char* valueName);

// The direct sub-folders of `folder` as the file library lists them (forward slashes), in its
// order: hidden folders, links and junctions are left out. Empty when `folder` does not exist.
// Blocks on the file system.
QStringList chatSubfolders(const QString& folder);

// Whether `folder` holds an entry named `name` (of any kind). Blocks on the file system.
bool chatHasEntry(const QString& folder, const QString& name);

// Account folders under the app's roots, in root order. Missing roots are skipped, and so are
// roots no junk rule may clean (relative, a drive root, or holding the profile or a system
// folder: see folder_guard.h; logged), and sub-folders that are links or junctions. Blocks on
// the file system.
QStringList chatAccountFolders(const ChatApp& app);

// The app's folders of `type` in `account`, without those reached through a link or junction
// below the account folder (emptying them would reach outside the app's data). Blocks.
QStringList chatAccountCategoryFolders(const ChatApp& app, const QString& type,
                                       const QString& account);

// The folders of `type` in every account, in account order. Blocks on the file system.
QStringList chatCategoryFolders(const ChatApp& app, const QString& type);

// The envelope text with one item per category; an empty list when no account exists. A file
// reached twice (several folders, hard links) counts once. Blocks for the whole measurement.
QString chatItems(const ChatApp& app);

// Empties the folders of the categories named in `types` (JSON array text; anything else names
// none), skipping (and logging) one that protectedFolderRefusal refuses, and logs "clean <app>
// items. types=... success=..." (success false when one was skipped). Always true. Blocks.
bool cleanChatItems(const ChatApp& app, const QString& types);

// Advances the app's scan generation and scans on a detached thread: one "progress" report per
// category while the scan is current, then "done", or "stopped" once superseded (by a stop or a
// newer scan); "error" if the scan itself failed. Returns 1 at once; throws std::system_error
// when no thread can be created.
int startChatScan(const ChatApp& app, ReportFunction report);

// Supersedes the running scan, if any; does not wait for it. Always true.
bool stopChatScan(const ChatApp& app);

// cleanChatItems on a detached thread, logging "clean <app> items async. ...", then one report
// {"type": "done", "success": ...}; success is false when the clean was abandoned by an
// exception. A clean that stopChatClean cut short adds "stopped": true; what it had not
// reached stays. Returns 1 at once; throws std::system_error when no thread can be created.
int startChatClean(const ChatApp& app, const QString& types, ReportFunction report);

// Stops the app's running cleans of startChatClean: each ends within one file removal and sends
// its report. True when one was running. Does not wait.
bool stopChatClean(const ChatApp& app);

// Opens the first existing folder of `type` in the file manager; false (logged) when there is
// none or the file manager did not start. Blocks while it starts.
bool openChatFolder(const ChatApp& app, const QString& type);

}  // namespace pellanor
