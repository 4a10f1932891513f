// The WeChat cleaner: the data folders of every WeChat account on the machine (the classic
// "WeChat Files" layout and the newer "xwechat_files" one) and their four categories, on the
// chat-app engine of chat_cleaner.h.
#pragma once

#include <QString>
#include <QStringList>

#include "clean/junk_cleaner.h"

namespace pellanor {

// Category ids, in list order.
inline constexpr char kWechatCacheId[] = "wechat_cache";
inline constexpr char kWechatImageId[] = "wechat_image";
inline constexpr char kWechatVideoId[] = "wechat_video";
inline constexpr char kWechatFileId[] = "wechat_file";

// The root folders, in order and without duplicates, existing or not: the save path from the
// registry ("FileSavePath" under HKEY_CURRENT_USER\Software\Tencent\WeChat, taken as it is) or,
// when it is empty or "MyDocument:", Documents\WeChat Files; then Documents\xwechat_files if it
// exists. Blocks briefly (registry, disk).
QStringList wechatRootFolders();

// The account folders: the sub-folders of the existing roots that hold "FileStorage", "msg" or
// "cache". Blocks on the file system.
QStringList wechatAccountFolders();

// The folders of category `type` in `account` (see chat_cleaner.h for the link rule). Blocks.
QStringList wechatAccountCategoryFolders(const QString& type, const QString& account);

// The folders of category `type` in every account, in account order. Blocks.
QStringList wechatCategoryFolders(const QString& type);

// The script methods; contracts as in chat_cleaner.h.
QString getWechatItems();
bool cleanWechatItems(const QString& types);
int startScanWechat(ReportFunction report);
bool stopScanWechat();
int startCleanWechat(const QString& types, ReportFunction report);
bool stopCleanWechat();
bool openWechatFolder(const QString& type);

}  // namespace pellanor
