// The WeChat table of the chat-app engine: where the client keeps its accounts and which
// folders hold each category.
#include "clean/wechat_cleaner.h"

#include <QDir>
#include <QFileInfo>

#include "clean/chat_cleaner.h"
#include "clean/host_path.h"

namespace pellanor {
namespace {

constexpr char kRegistryKey[] = "Software\\Tencent\\WeChat";
constexpr char kSavePathValue[] = "FileSavePath";
// What the client writes when the user kept its default location.
constexpr char kDocumentsMarker[] = "MyDocument:";

// The classic layout keeps per-conversation attachments in MsgAttach\<id>\<word>.
QStringList classicFolders(const QString& type, const QString& account) {
    const QString storage = account + QStringLiteral("\\FileStorage");
    const char* word = nullptr;
    if (type == QLatin1String(kWechatCacheId)) {
        return {storage + QStringLiteral("\\Cache"), storage + QStringLiteral("\\Temp")};
    }
    if (type == QLatin1String(kWechatImageId)) word = "Image";
    if (type == QLatin1String(kWechatVideoId)) word = "Video";
    if (type == QLatin1String(kWechatFileId)) word = "File";
    if (word == nullptr) return {};
    QStringList folders{storage + QLatin1Char('\\') + QLatin1String(word)};
    const QString attachments = storage + QStringLiteral("\\MsgAttach");
    if (QFileInfo::exists(hostPath(attachments))) {
        for (const QString& conversation : chatSubfolders(attachments)) {
            folders << conversation + QLatin1Char('\\') + QLatin1String(word);
        }
    }
    return folders;
}

QStringList newerFolders(const QString& type, const QString& account) {
    if (type == QLatin1String(kWechatCacheId)) return {account + QStringLiteral("\\cache")};
    if (type == QLatin1String(kWechatImageId)) return {account + QStringLiteral("\\msg\\attach")};
    if (type == QLatin1String(kWechatVideoId)) return {account + QStringLiteral("\\msg\\video")};
    if (type == QLatin1String(kWechatFileId)) return {account + QStringLiteral("\\msg\\file")};
    return {};
}

QStringList foldersOf(const QString& type, const QString& account) {
    if (chatHasEntry(account, QStringLiteral("FileStorage"))) return classicFolders(type, account);
    return newerFolders(type, account);
}

std::atomic<std::uint32_t> wechatScanGeneration{0};
CleanStop wechatCleanStop;

const ChatApp& wechat() {
    static const ChatApp app{
        "wechat",
        {{{kWechatCacheId, "微信缓存", "小程序、朋友圈等产生的缓存文件，清理后不影响聊天数据"},
          {kWechatImageId, "聊天图片", "聊天中收发的图片，清理后无法恢复"},
          {kWechatVideoId, "聊天视频", "聊天中收发的视频，清理后无法恢复"},
          {kWechatFileId, "聊天文件", "聊天中收发的文档等文件，清理后无法恢复"}}},
        wechatRootFolders,
        {"FileStorage", "msg", "cache"},
        foldersOf,
        &wechatScanGeneration,
        &wechatCleanStop,
    };
    return app;
}

}  // namespace

QStringList wechatRootFolders() {
    const QString documents = chatDocumentsFolder();
    QStringList roots;
    // The save path is used as the user chose it, with no "WeChat Files" appended.
    const QString saved = chatRegistryText(kRegistryKey, kSavePathValue);
    if (saved.isEmpty() ||
        saved.compare(QLatin1String(kDocumentsMarker), Qt::CaseInsensitive) == 0) {
        if (!documents.isEmpty()) roots << documents + QStringLiteral("\\WeChat Files");
    } else {
        roots << QDir::toNativeSeparators(saved);
    }
    if (documents.isEmpty()) return roots;
    const QString newer = documents + QStringLiteral("\\xwechat_files");
    if (QFileInfo::exists(hostPath(newer)) && !roots.contains(newer)) roots << newer;
    return roots;
}

QStringList wechatAccountFolders() { return chatAccountFolders(wechat()); }

QStringList wechatAccountCategoryFolders(const QString& type, const QString& account) {
    return chatAccountCategoryFolders(wechat(), type, account);
}

QStringList wechatCategoryFolders(const QString& type) {
    return chatCategoryFolders(wechat(), type);
}

QString getWechatItems() { return chatItems(wechat()); }

bool cleanWechatItems(const QString& types) { return cleanChatItems(wechat(), types); }

int startScanWechat(ReportFunction report) { return startChatScan(wechat(), std::move(report)); }

bool stopScanWechat() { return stopChatScan(wechat()); }

int startCleanWechat(const QString& types, ReportFunction report) {
    return startChatClean(wechat(), types, std::move(report));
}

bool stopCleanWechat() { return stopChatClean(wechat()); }

bool openWechatFolder(const QString& type) { return openChatFolder(wechat(), type); }

}  // namespace pellanor
