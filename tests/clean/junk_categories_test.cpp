#include "clean/junk_categories.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "clean/junk_item.h"
#include "tests/clean/clean_test_support.h"

namespace pellanor {
namespace {

using test_support::FakeProfile;
using test_support::writeFile;

QJsonArray itemsOf(const QString& text) {
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    EXPECT_EQ(document.object().keys(), QStringList{"list"});
    return document.object().value("list").toArray();
}

qint64 sizeOf(const QJsonArray& items, const QString& type) {
    for (const QJsonValue& item : items) {
        if (item.toObject().value("type").toString() == type) {
            return static_cast<qint64>(item.toObject().value("size").toDouble());
        }
    }
    ADD_FAILURE() << "no item " << type.toStdString();
    return -1;
}

TEST(GetPrivacyItems, ListsAllNineCategoriesInOrderOnAnEmptyProfile) {
    FakeProfile profile;
    const QJsonArray items = itemsOf(getPrivacyItems());
    const QStringList expected{"thumbcache", "recent", "temp", "prefetch", "recyclebin",
                               "hibernate",  "chrome", "edge", "firefox"};
    ASSERT_EQ(items.size(), expected.size());
    for (int i = 0; i < items.size(); ++i) {
        const QJsonObject item = items[i].toObject();
        EXPECT_EQ(item.value("type").toString(), expected[i]);
        EXPECT_EQ(item.keys(), (QStringList{"description", "name", "path", "size", "type"}));
        EXPECT_EQ(item.value("size").toDouble(), 0.0) << expected[i].toStdString();
    }
    EXPECT_EQ(items[8].toObject().value("path").toString(),
              profile.path("Local") + "\\Mozilla\\Firefox\\Profiles");
    EXPECT_EQ(items[3].toObject().value("path").toString(), "C:\\Windows\\Prefetch");
    EXPECT_EQ(items[4].toObject().value("path").toString(), "$Recycle.Bin");
    EXPECT_EQ(items[0].toObject().value("name").toString(), QString::fromUtf8("缩略图缓存"));
}

TEST(GetPrivacyItems, MeasuresEachCategoryByItsOwnRule) {
    FakeProfile profile;
    const QString explorer = profile.local("Microsoft/Windows/Explorer/");
    writeFile(explorer + "thumbcache_256.db", 100);
    writeFile(explorer + "thumbcache_idx.db", 10);
    writeFile(explorer + "iconcache_256.db", 1000);       // other name
    writeFile(explorer + "sub/thumbcache_32.db", 1000);   // not directly in the folder
    writeFile(explorer + ".thumbcache_hidden.db", 1000);  // does not match either
    writeFile(profile.roaming("Microsoft/Windows/Recent/a.lnk"), 7);
    writeFile(profile.temp("x/y.tmp"), 30);
    writeFile(profile.temp(".hidden.tmp"), 1000);
    writeFile(profile.driveC("Windows/Prefetch/APP.pf"), 11);
    writeFile(profile.driveC("hiberfil.sys"), 4096);
    writeFile(profile.path("Data/Trash/files/old.txt"), 13);
    writeFile(profile.local("Google/Chrome/User Data/Default/Cache/data_1"), 40);
    writeFile(profile.local("Google/Chrome/User Data/Profile 1/Cache/data_1"), 1000);
    writeFile(profile.local("Microsoft/Edge/User Data/Default/Cache/data_1"), 50);
    const QString firefox = profile.local("Mozilla/Firefox/Profiles/");
    writeFile(firefox + "ab.default-release/cache2/entries/1", 60);
    writeFile(firefox + "cd.default-release/cache2/entries/2", 6);
    writeFile(firefox + "ab.default-release/places.sqlite", 1000);
    writeFile(firefox + "ef.default/cache2/entries/3", 1000);

    const QJsonArray items = itemsOf(getPrivacyItems());
    EXPECT_EQ(sizeOf(items, "thumbcache"), 110);
    EXPECT_EQ(sizeOf(items, "recent"), 7);
    EXPECT_EQ(sizeOf(items, "temp"), 30);
    EXPECT_EQ(sizeOf(items, "prefetch"), 11);
    EXPECT_EQ(sizeOf(items, "recyclebin"), 13);
    EXPECT_EQ(sizeOf(items, "hibernate"), 4096);
    EXPECT_EQ(sizeOf(items, "chrome"), 40);
    EXPECT_EQ(sizeOf(items, "edge"), 50);
    EXPECT_EQ(sizeOf(items, "firefox"), 66);
}

TEST(GetPrivacyItems, DoesNotFollowLinksOutOfTempOrTheFirefoxProfiles) {
    FakeProfile profile;
    writeFile(profile.outside("huge.bin"), 100000);
    writeFile(profile.outside("cache2/entries/1"), 100000);
    QFile::link(profile.outside(), profile.temp("link"));
    QFile::link(profile.outside(), profile.local("Mozilla/Firefox/Profiles/zz.default-release"));
    const QJsonArray items = itemsOf(getPrivacyItems());
    EXPECT_EQ(sizeOf(items, "temp"), 0);
    EXPECT_EQ(sizeOf(items, "firefox"), 0);
}

TEST(GetPrivacyItems, CountsAFileUnderTwoMeasuredFoldersTwice) {
    FakeProfile profile;
    // TEMP set to Chrome's cache is measured by both categories. (A TEMP that holds the
    // application-data folder is refused by the temp rule, so it measures nothing.)
    test_support::ScopedEnvironment env;
    env.set("TEMP", profile.local("Google/Chrome/User Data/Default/Cache").toStdString());
    writeFile(profile.local("Google/Chrome/User Data/Default/Cache/data"), 25);
    const QJsonArray items = itemsOf(getPrivacyItems());
    EXPECT_EQ(sizeOf(items, "temp"), 25);
    EXPECT_EQ(sizeOf(items, "chrome"), 25);
}

TEST(JunkEnvelope, KeepsItemOrderAndLargeSizes) {
    const QList<JunkItem> items{{"b", "n", "d", "p", 5'000'000'000LL}, {"a", "", "", "", 0}};
    const QJsonArray list = itemsOf(toEnvelopeText(items));
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].toObject().value("type").toString(), "b");
    EXPECT_EQ(list[0].toObject().value("size").toVariant().toLongLong(), 5'000'000'000LL);
    EXPECT_EQ(toEnvelopeText({}).simplified(), "{ \"list\": [ ] }");
}

}  // namespace
}  // namespace pellanor
