// The QQ cleaner: the data folders of every QQ account on the machine (the classic layout and
// the newer "nt_qq" one) and their four categories, on the chat-app engine of chat_cleaner.h.
#pragma once

#include <QString>
#include <QStringList>

#include "clean/junk_cleaner.h"

namespace pellanor {

// Category ids, in list order.
inline constexpr char kQqCacheId[] = "qq_cache";
inline constexpr char kQqImageId[] = "qq_image";
inline constexpr char kQqVideoId[] = "qq_video";
inline constexpr char kQqFileId[] = "qq_file";

// The root folders, in order and without duplicates (compared with case), existing or not:
// Documents\Tencent Files first, then the registry values "PersonalFilePath",
// "PersonalFilesDir" and "FileSavePath" under HKEY_CURRENT_USER\Software\Tencent\QQ that are
// not empty, each taken as it is. Blocks briefly (registry).
QStringList qqRootFolders();

// The account folders: the sub-folders of the existing roots that hold "nt_qq", "Image" or
// "Video". Blocks on the file system.
QStringList qqAccountFolders();

// The folders of category `type` in `account` (see chat_cleaner.h for the link rule). Blocks.
QStringList qqAccountCategoryFolders(const QString& type, const QString& account);

// The folders of category `type` in every account, in account order. Blocks.
QStringList qqCategoryFolders(const QString& type);

// The script methods; contracts as in chat_cleaner.h. QQ and WeChat scans never stop each other.
QString getQqItems();
bool cleanQqItems(const QString& types);
int startScanQq(ReportFunction report);
bool stopScanQq();
int startCleanQq(const QString& types, ReportFunction report);
bool stopCleanQq();
bool openQqFolder(const QString& type);

}  // namespace pellanor
