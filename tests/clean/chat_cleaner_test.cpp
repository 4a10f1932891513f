// The WeChat and QQ cleaners on a chat tree in a temporary Documents folder: folder discovery,
// measurement against the sizes written, cleaning that leaves everything else byte for byte,
// and scans that are stopped or superseded.
#include "clean/chat_cleaner.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <condition_variable>
#include <map>

#include "clean/junk_item.h"
#include "clean/qq_cleaner.h"
#include "clean/wechat_cleaner.h"
#include "log/logger.h"
#include "platform/registry.h"
#include "tests/clean/clean_test_support.h"

namespace pellanor {
namespace {

namespace registry = platform::registry;
using test_support::exists;
using test_support::LogCapture;
using test_support::ManyFiles;
using test_support::ScopedEnvironment;
using test_support::writeFile;

void hardLink(const QString& from, const QString& to) {
    QDir().mkpath(QFileInfo(to).absolutePath());
    ASSERT_EQ(::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()), 0);
}

// A home with a Documents folder, a registry store, drive E: and a folder no rule names.
class ChatProfile final {
public:
    ChatProfile() {
        logging::logger();  // before HOME moves, so the log file stays out of the tree
        m_env.set("HOME", path("home").toStdString());
        m_env.set("XDG_CONFIG_HOME", path("home/.config").toStdString());
        m_env.set("PELLANOR_REGISTRY_DIR", path("registry").toStdString());
        m_env.set("PELLANOR_DRIVES", ("E=" + path("E")).toStdString());
        for (const char* folder : {"home/Documents", "registry", "E", "outside"}) {
            QDir().mkpath(path(folder));
        }
    }

    QString path(const QString& relative) const { return m_root.filePath(relative); }
    QString documents(const QString& relative = {}) const {
        return path("home/Documents/" + relative);
    }
    QString shownDocuments() const { return path("home/Documents"); }

    void setRegistry(const char* key, const char* name, const QString& value) {
        const registry::Key opened =
            registry::createKey(registry::Root::CurrentUser, key, registry::View::Default);
        ASSERT_TRUE(opened.isOpen());
        ASSERT_EQ(registry::setValue(opened, name, registry::ValueType::String,
                                     registry::stringData(value.toStdString())),
                  registry::kSuccess);
    }

    // Every entry of the chat data, the drive and the outside folder, hidden ones included:
    // links as their target text, files as their bytes; links are not followed.
    std::map<QString, QByteArray> snapshot() const {
        std::map<QString, QByteArray> entries;
        for (const char* top : {"home/Documents", "E", "outside"}) {
            QDirIterator it(path(top),
                            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QFileInfo info(it.next());
                entries[QDir(m_root.path()).relativeFilePath(info.filePath())] = contentOf(info);
            }
        }
        return entries;
    }

private:
    static QByteArray contentOf(const QFileInfo& info) {
        if (info.isSymLink()) return "link:" + info.symLinkTarget().toUtf8();
        if (info.isDir()) return "folder";
        QFile file(info.filePath());
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

    QTemporaryDir m_root;
    ScopedEnvironment m_env;
};

// Both WeChat layouts with every trap the cleaners must not fall into. Sizes are chosen so that
// each sum names its parts.
class WechatTree : public ::testing::Test {
protected:
    void SetUp() override {
        const QString classic = p.documents("WeChat Files/wxid_classic/FileStorage/");
        writeFile(classic + "Cache/c.dat", 100);
        writeFile(classic + "Cache/.hidden", 1000000);
        writeFile(classic + "Image/.hidden", 1000000);  // directly in a cleaned folder: stays
        writeFile(classic + "Temp/t.dat", 50);
        writeFile(classic + "Image/2024/a.jpg", 200);
        writeFile(classic + "Image/2024/.thumbs/b.jpg", 1000000);  // inside a listed folder
        writeFile(classic + "MsgAttach/chat1/Image/i.jpg", 40);
        writeFile(classic + "MsgAttach/chat2/Image/j.jpg", 45);
        writeFile(classic + "MsgAttach/chat1/Video/v.mp4", 11);
        writeFile(classic + "Video/v.mp4", 300);
        writeFile(classic + "File/doc.pdf", 80);
        writeFile(classic + "Msg/chat.db", 7);  // the chats themselves: no category
        writeFile(classic + "Image/shared.jpg", 30);
        hardLink(classic + "Image/shared.jpg", classic + "File/shared.jpg");
        writeFile(p.path("outside/linked/sentinel.txt"), 1000000);
        QFile::link(p.path("outside/linked"), classic + "Image/to-outside");
        writeFile(p.documents("WeChat Files/All Users/config/global.ini"), 9);
        writeFile(p.documents("WeChat Files/.wxid_hidden/FileStorage/Cache/h.dat"), 1000000);

        const QString newer = p.documents("xwechat_files/wxid_new/");
        writeFile(newer + "cache/n.dat", 70);
        writeFile(newer + "msg/attach/p.jpg", 60);
        writeFile(newer + "msg/file/f.txt", 90);
        writeFile(newer + "db_storage/message.db", 8);
        // The whole video folder is a link out of the tree.
        writeFile(p.path("outside/videos/sentinel.mp4"), 1000000);
        QDir().mkpath(newer + "msg");
        QFile::link(p.path("outside/videos"), newer + "msg/video");
    }

    QString shownRoots() const {
        return p.shownDocuments() + "\\WeChat Files ; " + p.shownDocuments() + "\\xwechat_files";
    }

    ChatProfile p;
};

std::map<QString, qint64> sizesOf(const QString& envelope) {
    std::map<QString, qint64> sizes;
    const QJsonArray list = QJsonDocument::fromJson(envelope.toUtf8())["list"].toArray();
    for (const QJsonValue& item : list) {
        sizes[item["type"].toString()] = item["size"].toVariant().toLongLong();
    }
    return sizes;
}

// Sizes count what cleaning the category alone gives back: not the hidden files directly in a
// cleaned folder (they stay), nor links, nor the hard-linked file (its other name stays); but
// the hidden file below a sub-folder, which goes with it.
const std::map<QString, qint64> kWechatSizes = {{"wechat_cache", 100 + 50 + 70},
                                                {"wechat_image", 200 + 1000000 + 40 + 45 + 60},
                                                {"wechat_video", 300 + 11},
                                                {"wechat_file", 80 + 90}};

TEST_F(WechatTree, FindsAccountsOfBothLayoutsButNoOtherFolder) {
    QStringList accounts = wechatAccountFolders();
    accounts.sort();
    EXPECT_EQ(accounts, QStringList({p.documents("WeChat Files/wxid_classic"),
                                     p.documents("xwechat_files/wxid_new")}));
    EXPECT_FALSE(openWechatFolder("nosuch"));
}

TEST_F(WechatTree, CleaningPickedCategoriesLeavesEverythingElseByteForByte) {
    const auto before = p.snapshot();
    LogCapture log;
    const QString types = R"(["wechat_image", "wechat_video", 7, "nosuch"])";
    EXPECT_TRUE(cleanWechatItems(types));
    EXPECT_TRUE(log.contains("clean wechat items. types=" + types.toStdString() + " success=true"));

    // What may go: the listed entries of the image and video folders and all below them.
    const QString classic = "home/Documents/WeChat Files/wxid_classic/FileStorage/";
    const QStringList cleaned = {classic + "Image/",
                                 classic + "Video/",
                                 classic + "MsgAttach/chat1/Image/",
                                 classic + "MsgAttach/chat1/Video/",
                                 classic + "MsgAttach/chat2/Image/",
                                 "home/Documents/xwechat_files/wxid_new/msg/attach/"};
    auto expected = before;
    for (auto it = expected.begin(); it != expected.end();) {
        const bool gone = std::any_of(cleaned.begin(), cleaned.end(), [&](const QString& folder) {
            return it->first.startsWith(folder) && !it->first.mid(folder.size()).startsWith('.');
        });
        it = gone ? expected.erase(it) : std::next(it);
    }
    EXPECT_EQ(p.snapshot(), expected);
    EXPECT_TRUE(exists(p.path("outside/linked/sentinel.txt")));
    EXPECT_TRUE(exists(p.path("outside/videos/sentinel.mp4")));
    // The hard-linked file now counts under the files.
    EXPECT_EQ(sizesOf(getWechatItems()), (std::map<QString, qint64>{{"wechat_cache", 220},
                                                                    {"wechat_image", 0},
                                                                    {"wechat_video", 0},
                                                                    {"wechat_file", 170 + 30}}));
}

// Collects the reports of one asynchronous call and waits for its final one.
class Reports final {
public:
    ReportFunction function(std::function<void(const QVariantMap&)> also = {}) {
        return [this, also](const QVariantMap& event) {
            if (also) also(event);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_events << event;
            m_changed.notify_all();
        };
    }

    QList<QVariantMap> waitForFinal() {
        std::unique_lock<std::mutex> lock(m_mutex);
        const bool ended = m_changed.wait_for(lock, std::chrono::seconds(20), [this] {
            return !m_events.isEmpty() && m_events.back()["type"] != "progress";
        });
        EXPECT_TRUE(ended) << "no final report";
        return m_events;
    }

    QStringList types() {
        QStringList names;
        for (const QVariantMap& event : waitForFinal()) names << event["type"].toString();
        return names;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    QList<QVariantMap> m_events;
};

TEST_F(WechatTree, MeasurementAndScanCountEachFileOnceAndShowTheRoots) {
    const QString envelope = getWechatItems();
    EXPECT_EQ(sizesOf(envelope), kWechatSizes);
    for (const QJsonValue& item : QJsonDocument::fromJson(envelope.toUtf8())["list"].toArray()) {
        EXPECT_EQ(item["path"].toString(), shownRoots());
    }

    Reports reports;
    EXPECT_EQ(startScanWechat(reports.function()), 1);
    const auto events = reports.waitForFinal();
    ASSERT_EQ(events.size(), 5);
    EXPECT_EQ(events.back()["type"], "done");
    std::map<QString, qint64> sizes;
    QStringList order;
    for (int i = 0; i < 4; ++i) {
        const QJsonObject item =
            QJsonDocument::fromJson(events[i]["data"].toString().toUtf8()).object();
        order << item["type"].toString();
        sizes[order.back()] = item["size"].toVariant().toLongLong();
        EXPECT_EQ(item["path"].toString(), shownRoots());
    }
    EXPECT_EQ(order, QStringList({"wechat_cache", "wechat_image", "wechat_video", "wechat_file"}));
    EXPECT_EQ(sizes, kWechatSizes);
    // The video folder of the newer account is a link, so only the classic account has videos.
    const QJsonObject video =
        QJsonDocument::fromJson(events[2]["data"].toString().toUtf8()).object();
    EXPECT_EQ(video["details"].toArray(),
              QJsonArray({QJsonObject{{"path", p.documents("WeChat Files/wxid_classic")},
                                      {"size", 311}}}));
}

TEST_F(WechatTree, ANewScanOrAStopEndsTheRunningOneWithStopped) {
    Reports second;
    Reports first;
    bool started = false;
    startScanWechat(first.function([&](const QVariantMap&) {
        if (!std::exchange(started, true)) startScanWechat(second.function());
    }));
    EXPECT_EQ(first.types(), QStringList({"progress", "stopped"}));
    EXPECT_EQ(second.types(),
              QStringList({"progress", "progress", "progress", "progress", "done"}));

    Reports stopped;
    startScanWechat(stopped.function([](const QVariantMap&) { stopScanWechat(); }));
    EXPECT_EQ(stopped.types(), QStringList({"progress", "stopped"}));

    // The QQ counter is a different one.
    Reports wechat;
    startScanWechat(wechat.function([](const QVariantMap&) { stopScanQq(); }));
    EXPECT_EQ(wechat.types().back(), "done");
}

TEST(ChatClean, StopEndsTheCleanPartWayAndLeavesTheOtherAppAlone) {
    ChatProfile p;
    const QString storage = p.documents("WeChat Files/wxid_big/FileStorage/");
    const ManyFiles files(storage + "Cache", 150, 100);
    writeFile(storage + "Image/a.jpg", 1);
    writeFile(p.path("outside/sentinel.txt"), 1);
    Reports reports;

    ASSERT_EQ(startCleanWechat(R"(["wechat_cache", "wechat_image"])", reports.function()), 1);
    ASSERT_TRUE(files.waitUntilOneGoes());
    const auto stoppedAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(stopCleanWechat());
    EXPECT_FALSE(stopCleanQq());  // the QQ signal is a different one
    const QList<QVariantMap> events = reports.waitForFinal();
    EXPECT_LT(std::chrono::steady_clock::now() - stoppedAt, std::chrono::seconds(10));

    EXPECT_EQ(events, QList<QVariantMap>{
                          (QVariantMap{{"type", "done"}, {"success", true}, {"stopped", true}})});
    EXPECT_GT(files.filesLeft(), 0);
    EXPECT_LT(files.filesLeft(), 150 * 100);
    EXPECT_TRUE(exists(storage + "Image/a.jpg"));  // the next category was not reached
    EXPECT_TRUE(exists(p.path("outside/sentinel.txt")));
    EXPECT_FALSE(stopCleanWechat());
}

TEST(WechatRoots, FollowTheSavedPathAndItsDocumentsMarker) {
    ChatProfile p;
    const QString defaultRoot = p.shownDocuments() + "\\WeChat Files";
    const std::vector<std::pair<QString, QString>> cases = {
        {"", defaultRoot},
        {"  MyDocument:  ", defaultRoot},
        {"MYDOCUMENT:", defaultRoot},
        {" E:\\Chat Data ", "E:\\Chat Data"},
    };
    for (const auto& [saved, root] : cases) {
        SCOPED_TRACE(saved.toStdString());
        p.setRegistry("Software\\Tencent\\WeChat", "FileSavePath", saved);
        EXPECT_EQ(wechatRootFolders(), QStringList{root});
    }
    // A saved path is used as it is: accounts sit directly in it.
    writeFile(p.path("E/Chat Data/wxid_e/msg/file/a.txt"), 33);
    EXPECT_EQ(sizesOf(getWechatItems())["wechat_file"], 33);
}

TEST(ChatRoots, ARelativeOrDriveRootSavePathIsNeverSearched) {
    ChatProfile p;
    writeFile(p.path("cwd/Relative/wxid_r/cache/keep.dat"), 5);
    writeFile(p.path("E/Projects/Image/keep.png"), 5);  // looks like a QQ account
    p.setRegistry("Software\\Tencent\\QQ", "PersonalFilePath", "E:\\");
    const QString previous = QDir::currentPath();
    QDir::setCurrent(p.path("cwd"));
    p.setRegistry("Software\\Tencent\\WeChat", "FileSavePath", "Relative");
    p.setRegistry("Software\\Tencent\\QQ", "FileSavePath", "Relative");
    cleanWechatItems(R"(["wechat_cache"])");
    cleanQqItems(R"(["qq_cache"])");
    EXPECT_EQ(getWechatItems(), toEnvelopeText({}));
    Reports scan;
    startScanQq(scan.function());
    EXPECT_EQ(scan.types(), QStringList{"done"});
    QDir::setCurrent(previous);
    EXPECT_TRUE(exists(p.path("cwd/Relative/wxid_r/cache/keep.dat")));
    EXPECT_EQ(getQqItems(), toEnvelopeText({}));
}

TEST(QqFolders, RootsWithoutRepeatsNewerLayoutFirstAndCacheFoldersOfAnyCase) {
    ChatProfile p;
    const QString defaultRoot = p.shownDocuments() + "\\Tencent Files";
    p.setRegistry("Software\\Tencent\\QQ", "PersonalFilePath", defaultRoot);
    p.setRegistry("Software\\Tencent\\QQ", "PersonalFilesDir", " E:\\QQ ");
    p.setRegistry("Software\\Tencent\\QQ", "FileSavePath", defaultRoot.toUpper());
    EXPECT_EQ(qqRootFolders(), QStringList({defaultRoot, "E:\\QQ", defaultRoot.toUpper()}));
    const QString both = p.documents("Tencent Files/111/");
    writeFile(both + "nt_qq/nt_data/Cache/c.dat", 10);
    writeFile(both + "nt_qq/nt_data/Pic/p.jpg", 20);
    writeFile(both + "Image/ignored.jpg", 1000);  // an nt_qq account is newer layout only
    writeFile(both + "FileRecv/ignored.doc", 1000);
    const QString classic = p.path("E/QQ/222/");
    writeFile(classic + "cache/a.dat", 3);
    writeFile(classic + "CACHE/b.dat", 4);
    writeFile(classic + "Image/i.jpg", 5);
    writeFile(classic + "Video/v.mp4", 6);
    writeFile(classic + "FileRecv/f.doc", 7);
    writeFile(p.path("outside/cache/sentinel.dat"), 1000);
    QFile::link(p.path("outside/cache"), classic + "Cache");
    writeFile(p.documents("Tencent Files/All Users/QQ/Registry.db"), 1000);

    EXPECT_EQ(
        sizesOf(getQqItems()),
        (std::map<QString, qint64>{
            {"qq_cache", 10 + 3 + 4}, {"qq_image", 20 + 5}, {"qq_video", 6}, {"qq_file", 7}}));
    const auto before = p.snapshot();
    LogCapture log;
    Reports reports;
    EXPECT_EQ(startCleanQq(R"(["qq_cache"])", reports.function()), 1);
    EXPECT_EQ(reports.waitForFinal(),
              QList<QVariantMap>{(QVariantMap{{"type", "done"}, {"success", true}})});
    EXPECT_TRUE(log.contains(R"(clean qq items async. types=["qq_cache"] success=true)"));
    auto after = p.snapshot();
    for (const char* gone : {"home/Documents/Tencent Files/111/nt_qq/nt_data/Cache/c.dat",
                             "E/QQ/222/cache/a.dat", "E/QQ/222/CACHE/b.dat"}) {
        EXPECT_EQ(after.count(gone), 0u) << gone;
        after[gone] = before.at(gone);
    }
    EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace pellanor
