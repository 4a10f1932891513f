// Measurement of the junk categories. The item paths are what the user sees (Windows-shaped,
// after expansion); the walks run on their host form.
#include "clean/junk_categories.h"

#include <QDir>
#include <QFileInfo>

#include "clean/environment_path.h"
#include "clean/folder_guard.h"
#include "clean/folder_size.h"
#include "clean/host_path.h"
#include "clean/junk_item.h"
#include "platform/file_size.h"
#include "platform/recycle_bin.h"

namespace pellanor {
namespace {

QString expanded(const char* location) {
    return expandEnvironmentPath(QString::fromUtf8(location));
}

// What the category's clean frees: nothing where the rule refuses the folder.
qint64 folderSize(const QString& shownPath, FolderClean clean) {
    if (!junkFolderRefusal(shownPath).isEmpty()) return 0;
    return static_cast<qint64>(reclaimableFolderSize(hostPath(shownPath), clean));
}

// Only the files directly in the folder: the cache keeps no thumbnails in sub-folders.
qint64 thumbnailCacheSize(const QString& shownPath) {
    const QDir folder(hostPath(shownPath));
    if (!folder.exists()) return 0;
    qint64 sum = 0;
    const QFileInfoList files =
        folder.entryInfoList({QLatin1String(kThumbcachePattern)}, QDir::Files, QDir::NoSort);
    for (const QFileInfo& file : files) sum += file.size();
    return sum;
}

qint64 firefoxCacheSize(const QString& shownPath) {
    if (!junkFolderRefusal(shownPath).isEmpty()) return 0;
    qint64 sum = 0;
    for (const QString& profile : firefoxProfileFolders(hostPath(shownPath))) {
        sum += static_cast<qint64>(reclaimableFolderSize(
            profile + QLatin1Char('/') + QLatin1String(kFirefoxCacheSubfolder),
            FolderClean::Remove));
    }
    return sum;
}

JunkItem item(const char* type, const char* name, const char* description, const QString& path,
              qint64 size) {
    return JunkItem{QString::fromUtf8(type), QString::fromUtf8(name),
                    QString::fromUtf8(description), path, size};
}

}  // namespace

QStringList firefoxProfileFolders(const QString& profilesFolder) {
    const QDir profiles(profilesFolder);
    if (!profiles.exists()) return {};
    QStringList folders;
    const QFileInfoList entries =
        profiles.entryInfoList({QLatin1String(kFirefoxProfilePattern)},
                               QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::NoSort);
    for (const QFileInfo& entry : entries) {
        if (!entry.isJunction()) folders << entry.filePath();
    }
    return folders;
}

QString getPrivacyItems() {
    const QString thumbs = expanded(kThumbcacheFolder);
    const QString recent = expanded(kRecentFolder);
    const QString temp = expanded(kTempFolder);
    const QString prefetch = QString::fromUtf8(kPrefetchFolder);
    const QString hibernation = QString::fromUtf8(kHibernationFile);
    const QString chrome = expanded(kChromeCacheFolder);
    const QString edge = expanded(kEdgeCacheFolder);
    const QString firefox = expanded(kFirefoxProfilesFolder);

    QList<JunkItem> items;
    items << item(kThumbcacheId, "缩略图缓存", "Windows 图片缩略图缓存文件", thumbs,
                  thumbnailCacheSize(thumbs))
          << item(kRecentId, "最近使用的文档", "开始菜单和跳转列表中的最近文档记录", recent,
                  folderSize(recent, FolderClean::Empty))
          << item(kTempId, "系统临时文件", "系统和应用程序生成的临时文件", temp,
                  folderSize(temp, FolderClean::Empty))
          << item(kPrefetchId, "Windows 预读取文件", "加速程序启动的预读取缓存", prefetch,
                  folderSize(prefetch, FolderClean::Empty))
          << item(kRecycleBinId, "回收站", "已删除但尚未清空的文件",
                  QString::fromUtf8(kRecycleBinMarker), platform::recycleBinSize())
          << item(kHibernateId, "系统休眠文件",
                  "Windows 休眠功能生成的 hiberfil.sys 文件，关闭休眠后可释放空间", hibernation,
                  platform::singleFileSize(hostPath(hibernation).toStdString()))
          << item(kChromeId, "Chrome 浏览器缓存", "Chrome 浏览器的网页缓存文件", chrome,
                  folderSize(chrome, FolderClean::Remove))
          << item(kEdgeId, "Edge 浏览器缓存", "Edge 浏览器的网页缓存文件", edge,
                  folderSize(edge, FolderClean::Remove))
          << item(kFirefoxId, "Firefox 浏览器缓存", "Firefox 浏览器的网页缓存文件", firefox,
                  firefoxCacheSize(firefox));
    return toEnvelopeText(items);
}

}  // namespace pellanor
