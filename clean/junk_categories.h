// The nine junk categories of the system drive, their locations and their measurement.
#pragma once

#include <QString>
#include <QStringList>

namespace pellanor {

// Category ids, in list order.
inline constexpr char kThumbcacheId[] = "thumbcache";
inline constexpr char kRecentId[] = "recent";
inline constexpr char kTempId[] = "temp";
inline constexpr char kPrefetchId[] = "prefetch";
inline constexpr char kRecycleBinId[] = "recyclebin";
inline constexpr char kHibernateId[] = "hibernate";
inline constexpr char kChromeId[] = "chrome";
inline constexpr char kEdgeId[] = "edge";
inline constexpr char kFirefoxId[] = "firefox";

// Locations, before environment expansion.
inline constexpr char kThumbcacheFolder[] = "%LOCALAPPDATA%\\Microsoft\\Windows\\Explorer";
inline constexpr char kThumbcachePattern[] = "thumbcache_*.db";
inline constexpr char kRecentFolder[] = "%APPDATA%\\Microsoft\\Windows\\Recent";
inline constexpr char kTempFolder[] = "%TEMP%";
inline constexpr char kPrefetchFolder[] = "C:\\Windows\\Prefetch";
inline constexpr char kRecycleBinMarker[] = "$Recycle.Bin";
inline constexpr char kHibernationFile[] = "C:\\hiberfil.sys";
inline constexpr char kChromeCacheFolder[] =
    "%LOCALAPPDATA%\\Google\\Chrome\\User Data\\Default\\Cache";
inline constexpr char kEdgeCacheFolder[] =
    "%LOCALAPPDATA%\\Microsoft\\Edge\\User Data\\Default\\Cache";
inline constexpr char kFirefoxProfilesFolder[] = "%LOCALAPPDATA%\\Mozilla\\Firefox\\Profiles";
inline constexpr char kFirefoxProfilePattern[] = "*.default-release";
inline constexpr char kFirefoxCacheSubfolder[] = "cache2";

// The profile folders whose cache2 sub-folder is measured and cleaned: the sub-folders of
// `profilesFolder` (a host path) named like kFirefoxProfilePattern, as host paths. Hidden
// folders are left out, and so are links and junctions: their cache lies outside the Profiles
// folder. Empty when the folder does not exist. Blocks on the file system.
QStringList firefoxProfileFolders(const QString& profilesFolder);

// The `getPrivacyItems` script method: measures the nine categories in list order and returns
// the envelope text with one item each, all nine even when a size is 0. A category that cannot
// be read has size 0; never fails, deletes nothing and logs nothing. Blocks on the file system
// for as long as the walks take (large caches take long).
QString getPrivacyItems();

}  // namespace pellanor
