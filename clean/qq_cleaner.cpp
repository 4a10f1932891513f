// The QQ table of the chat-app engine: where the client keeps its accounts and which folders
// hold each category.
#include "clean/qq_cleaner.h"

#include <QDir>

#include "clean/chat_cleaner.h"

namespace pellanor {
namespace {

constexpr char kRegistryKey[] = "Software\\Tencent\\QQ";
// The client has written its save location under each of these names over the years.
constexpr const char* kSavePathValues[] = {"PersonalFilePath", "PersonalFilesDir", "FileSavePath"};

// Classic clients name the cache folder in varying case.
QStringList classicCacheFolders(const QString& account) {
    QStringList folders;
    for (const QString& folder : chatSubfolders(account)) {
        if (QDir(folder).dirName().compare(QLatin1String("Cache"), Qt::CaseInsensitive) == 0) {
            folders << folder;
        }
    }
    return folders;
}

QStringList classicFolders(const QString& type, const QString& account) {
    if (type == QLatin1String(kQqCacheId)) return classicCacheFolders(account);
    if (type == QLatin1String(kQqImageId)) return {account + QStringLiteral("\\Image")};
    if (type == QLatin1String(kQqVideoId)) return {account + QStringLiteral("\\Video")};
    if (type == QLatin1String(kQqFileId)) return {account + QStringLiteral("\\FileRecv")};
    return {};
}

QStringList newerFolders(const QString& type, const QString& account) {
    const QString data = account + QStringLiteral("\\nt_qq\\nt_data");
    if (type == QLatin1String(kQqCacheId)) return {data + QStringLiteral("\\Cache")};
    if (type == QLatin1String(kQqImageId)) return {data + QStringLiteral("\\Pic")};
    if (type == QLatin1String(kQqVideoId)) return {data + QStringLiteral("\\Video")};
    if (type == QLatin1String(kQqFileId)) return {data + QStringLiteral("\\File")};
    return {};
}

QStringList foldersOf(const QString& type, const QString& account) {
    if (chatHasEntry(account, QStringLiteral("nt_qq"))) return newerFolders(type, account);
    return classicFolders(type, account);
}

std::atomic<std::uint32_t> qqScanGeneration{0};
CleanStop qqCleanStop;

const ChatApp& qq() {
    static const ChatApp app{
        "qq",
        {{{kQqCacheId, "QQ缓存", "聊天表情、群文件预览等产生的缓存文件，清理后不影响聊天数据"},
          {kQqImageId, "QQ图片", "聊天中收发的图片，清理后无法恢复"},
          {kQqVideoId, "QQ视频", "聊天中收发的视频，清理后无法恢复"},
          {kQqFileId, "QQ文件", "聊天中收发的文档等文件，清理后无法恢复"}}},
        qqRootFolders,
        {"nt_qq", "Image", "Video"},
        foldersOf,
        &qqScanGeneration,
        &qqCleanStop,
    };
    return app;
}

}  // namespace

QStringList qqRootFolders() {
    QStringList roots;
    const QString documents = chatDocumentsFolder();
    if (!documents.isEmpty()) roots << documents + QStringLiteral("\\Tencent Files");
    // Each value is used as the user chose it: no suffix, no special values.
    for (const char* name : kSavePathValues) {
        const QString value = QDir::toNativeSeparators(chatRegistryText(kRegistryKey, name));
        if (!value.isEmpty() && !roots.contains(value)) roots << value;
    }
    return roots;
}

QStringList qqAccountFolders() { return chatAccountFolders(qq()); }

QStringList qqAccountCategoryFolders(const QString& type, const QString& account) {
    return chatAccountCategoryFolders(qq(), type, account);
}

QStringList qqCategoryFolders(const QString& type) { return chatCategoryFolders(qq(), type); }

QString getQqItems() { return chatItems(qq()); }

bool cleanQqItems(const QString& types) { return cleanChatItems(qq(), types); }

int startScanQq(ReportFunction report) { return startChatScan(qq(), std::move(report)); }

bool stopScanQq() { return stopChatScan(qq()); }

int startCleanQq(const QString& types, ReportFunction report) {
    return startChatClean(qq(), types, std::move(report));
}

bool stopCleanQq() { return stopChatClean(qq()); }

bool openQqFolder(const QString& type) { return openChatFolder(qq(), type); }

}  // namespace pellanor
