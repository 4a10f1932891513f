// The size a junk category shows is what its clean gives back: measured, cleaned, and compared
// with the bytes the disk held before and after.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <functional>
#include <set>
#include <utility>

#include "clean/junk_categories.h"
#include "clean/junk_cleaner.h"
#include "tests/clean/clean_test_support.h"

namespace pellanor {
namespace {

using test_support::FakeProfile;
using test_support::writeFile;
namespace fs = std::filesystem;

// Bytes of the regular files under `root`, each file once however many names it has, links
// not followed: what `du -sb` counts, less the folders themselves.
qint64 diskBytes(const QString& root) {
    std::set<std::pair<dev_t, ino_t>> seen;
    qint64 total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root.toStdString())) {
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        if (seen.insert({info.st_dev, info.st_ino}).second) total += info.st_size;
    }
    return total;
}

qint64 shownSize(const QString& type) {
    const QJsonArray items =
        QJsonDocument::fromJson(getPrivacyItems().toUtf8()).object().value("list").toArray();
    for (const QJsonValue& item : items) {
        if (item.toObject().value("type").toString() == type) {
            return static_cast<qint64>(item.toObject().value("size").toDouble());
        }
    }
    return -1;
}

void hardLink(const QString& from, const QString& to) {
    QDir().mkpath(QFileInfo(to).absolutePath());
    ASSERT_EQ(::link(qPrintable(from), qPrintable(to)), 0) << to.toStdString();
}

void symLink(const QString& target, const QString& link) {
    QDir().mkpath(QFileInfo(link).absolutePath());
    ASSERT_EQ(::symlink(qPrintable(target), qPrintable(link)), 0) << link.toStdString();
}

TEST(JunkMeasure, EqualsWhatTheCategorysCleanGivesBack) {
    struct Case {
        const char* type;
        qint64 shown;
        std::function<void(const FakeProfile&)> build;
    };
    const Case cases[] = {
        {"temp", 100 + 30 + 5 + 50,
         [](const FakeProfile& p) {
             writeFile(p.temp("top.tmp"), 100);
             writeFile(p.temp(".hidden-top"), 1000);         // directly in the folder: stays
             writeFile(p.temp(".hidden-dir/inside"), 1000);  // inside a hidden one: stays
             writeFile(p.temp("sub/.hidden-inner"), 30);     // below a sub-folder: goes
             writeFile(p.temp("sub/deeper/f"), 5);
             writeFile(p.outside("shared.bin"), 700);
             hardLink(p.outside("shared.bin"), p.temp("sub/shared-name"));  // frees nothing
             writeFile(p.temp("sub/pair-a"), 50);
             hardLink(p.temp("sub/pair-a"), p.temp("sub/deeper/pair-b"));  // both go: once
             symLink(p.outside(), p.temp("sub/to-outside"));
         }},
        {"chrome", 0,
         [](const FakeProfile& p) {
             writeFile(p.outside("cache/data_1"), 293);
             symLink(p.outside("cache"), p.local("Google/Chrome/User Data/Default/Cache"));
         }},
        {"edge", 20 + 10,
         [](const FakeProfile& p) {
             const QString cache = p.local("Microsoft/Edge/User Data/Default/Cache/");
             writeFile(cache + ".hidden/x", 20);  // the whole tree goes
             writeFile(cache + "y", 10);
         }},
        {"recent", 0,
         [](const FakeProfile& p) {
             writeFile(p.outside("recent/a.lnk"), 7);
             symLink(p.outside("recent"), p.roaming("Microsoft/Windows/Recent"));
         }},
    };
    for (const Case& c : cases) {
        FakeProfile profile;
        const QString sentinel = profile.makeSentinel();
        c.build(profile);
        const qint64 shown = shownSize(c.type);
        const qint64 before = diskBytes(profile.path(""));
        cleanPrivacyItems(QString(R"(["%1"])").arg(c.type));
        const qint64 after = diskBytes(profile.path(""));
        EXPECT_EQ(shown, c.shown) << c.type;
        EXPECT_EQ(shown, before - after) << c.type;
        EXPECT_TRUE(QFile::exists(sentinel + "/keep.txt")) << c.type;
    }
}

}  // namespace
}  // namespace pellanor
