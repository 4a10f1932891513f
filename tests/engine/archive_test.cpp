// The packed archive: what the packer writes the reader finds, and a damaged block is refused
// whole rather than read past its end.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QtEndian>

#include <cstring>

#include "engine/src/archive.h"
#include "tests/engine/engine_loader.h"

namespace {

// The whole literal but its terminator, embedded zero bytes included.
template <std::size_t N>
QByteArray binary(const char (&text)[N]) {
    return QByteArray(text, static_cast<int>(N - 1));
}

const std::vector<std::pair<QString, QByteArray>> kItems = {
    {"main/loading.html", "<html><body>loading</body></html>"},
    {"common/img/logo.png", binary("\x89PNG\r\n\x1a\n\0\0binary")},
    {"common/langs/zh-cn.js", QString::fromUtf8("var t = '\xe4\xb8\xad';").toUtf8()},
    {"empty.txt", QByteArray()},
};

QByteArray patched(QByteArray data, int offset, std::uint32_t number) {
    char field[4];
    qToLittleEndian(number, field);
    return data.replace(offset, 4, field, 4);
}

const std::uint8_t* bytes(const QByteArray& data) {
    return reinterpret_cast<const std::uint8_t*>(data.constData());
}

TEST(Archive, RoundTripsEveryItemByPath) {
    const QByteArray packed = engine::packArchive(kItems);
    ASSERT_TRUE(packed.startsWith(QByteArray("SAr", 3)));
    const auto archive = engine::Archive::open(bytes(packed), packed.size());
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->count(), 4);
    for (const auto& [path, data] : kItems) {
        const auto item = archive->item(path);
        ASSERT_TRUE(item) << path.toStdString();
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(item->data), int(item->length)), data);
    }
    EXPECT_TRUE(archive->item("/main/loading.html"));
    EXPECT_FALSE(archive->item("main/missing.html"));
    EXPECT_FALSE(archive->item("main"));
}

TEST(Archive, RefusesEveryTruncationAndBadMagic) {
    const QByteArray packed = engine::packArchive(kItems);
    for (int length = 0; length < packed.size(); ++length) {
        EXPECT_FALSE(engine::Archive::open(bytes(packed), length)) << "length " << length;
    }
    QByteArray wrongMagic = packed;
    wrongMagic[1] = 'X';
    EXPECT_FALSE(engine::Archive::open(bytes(wrongMagic), wrongMagic.size()));
    EXPECT_FALSE(engine::Archive::open(nullptr, 100));
}

TEST(Archive, RefusesDirectoryEntriesPointingOutsideTheBlock) {
    const QByteArray packed = engine::packArchive({{"a.txt", "abc"}});
    // Directory: path length (5) at 16, "a.txt" at 20, offset at 25, length at 29.
    const QByteArray longItem = patched(packed, 29, 0x7FFFFFF0);
    EXPECT_FALSE(engine::Archive::open(bytes(longItem), longItem.size()));
    const QByteArray farOffset = patched(packed, 25, 0xFFFFFFFF);
    EXPECT_FALSE(engine::Archive::open(bytes(farOffset), farOffset.size()));
    const QByteArray intoHeader = patched(packed, 25, 2);
    EXPECT_FALSE(engine::Archive::open(bytes(intoHeader), intoHeader.size()));
    const QByteArray hugeCount = patched(packed, 8, 1000000);
    EXPECT_FALSE(engine::Archive::open(bytes(hugeCount), hugeCount.size()));
}

TEST(Archive, EngineTableOpensLooksUpAndClosesHandles) {
    const SciterApi* api = pellanor::test_support::loadEngine();
    ASSERT_NE(api, nullptr);
    const QByteArray packed = engine::packArchive(kItems);
    const std::uintptr_t handle = api->SciterOpenArchive(bytes(packed), packed.size());
    ASSERT_NE(handle, 0u);
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
    ASSERT_TRUE(api->SciterGetArchiveItem(handle, u"main/loading.html", &data, &length));
    EXPECT_EQ(length, std::size_t(kItems[0].second.size()));
    EXPECT_EQ(std::memcmp(data, kItems[0].second.constData(), length), 0);
    EXPECT_FALSE(api->SciterGetArchiveItem(handle, u"nope", &data, &length));
    EXPECT_TRUE(api->SciterCloseArchive(handle));
    EXPECT_FALSE(api->SciterGetArchiveItem(handle, u"main/loading.html", &data, &length));
    EXPECT_EQ(api->SciterOpenArchive(bytes(packed), packed.size() - 1), 0u);
}

}  // namespace

// Built by the packer at build time from tests/engine/pages and compiled into this executable.
extern const unsigned char kTestPages[];
extern const std::size_t kTestPagesSize;

namespace {

TEST(Archive, ThePackerCompilesAFolderIntoTheExecutable) {
    const auto archive = engine::Archive::open(kTestPages, kTestPagesSize);
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->count(), 2);
    const auto page = archive->item("main/index.html");
    ASSERT_TRUE(page);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(page->data), int(page->length)),
              "<!doctype html><title>packed</title>\n");
    const auto script = archive->item("common/langs/zh-cn.js");
    ASSERT_TRUE(script);
    EXPECT_EQ(QString::fromUtf8(reinterpret_cast<const char*>(script->data), int(script->length)),
              QString::fromUtf8("var lang = \"\xe4\xb8\xad\xe6\x96\x87\";\n"));
}

}  // namespace
