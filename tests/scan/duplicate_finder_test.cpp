#include "scan/duplicate_finder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "scan/large_file_scanner.h"
#include "scan_test_support.h"

namespace pellanor::scan {
namespace {

using test_support::EventRecorder;
using test_support::parseObject;
using test_support::pathsOf;
using test_support::writeFile;

constexpr char kEmptyDigest[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

QJsonArray groupsOf(const QString& json) { return parseObject(json).value("groups").toArray(); }

// Content larger than the fingerprint, differing from `base` only in the middle when `twist`.
QByteArray bigContent(char fill, bool twist) {
    QByteArray content(3 * 1024 * 1024, fill);
    if (twist) content[content.size() / 2] = '!';
    return content;
}

class Duplicates : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.isValid());
        m_root = m_temp.path() + "/root";
        writeFile(m_root + "/a/one.txt", "same text");
        writeFile(m_root + "/b/two.txt", "same text");
        writeFile(m_root + "/b/decoy.txt", "sane text");  // same size, other content
        writeFile(m_root + "/big/original.bin", bigContent('z', false));
        writeFile(m_root + "/big/copy.bin", bigContent('z', false));
        writeFile(m_root + "/big/middle-differs.bin", bigContent('z', true));
        writeFile(m_root + "/unique.bin", "only one of its size");
    }

    QJsonArray search(const QString& folders) { return groupsOf(findDuplicateFiles(folders)); }

    QTemporaryDir m_temp;
    QString m_root;
};

TEST_F(Duplicates, GroupsEqualContentOnlyAndOrdersGroupsByDigest) {
    const QJsonArray groups = search(m_root);
    ASSERT_EQ(groups.size(), 2);
    const QJsonObject first = groups[0].toObject();
    const QJsonObject second = groups[1].toObject();
    EXPECT_LT(first.value("hash").toString(), second.value("hash").toString());
    EXPECT_EQ(first.keys(), (QStringList{"files", "hash", "size"}));
    QStringList all =
        pathsOf(first.value("files").toArray()) + pathsOf(second.value("files").toArray());
    all.sort();
    EXPECT_EQ(all, (QStringList{m_root + "/a/one.txt", m_root + "/b/two.txt",
                                m_root + "/big/copy.bin", m_root + "/big/original.bin"}));
    for (const QJsonValue& group : groups) {
        EXPECT_EQ(group.toObject().value("hash").toString().size(), 64);
        EXPECT_TRUE(group.toObject().value("size") == 9 ||
                    group.toObject().value("size") == 3 * 1024 * 1024);
    }
}

TEST_F(Duplicates, EmptyFilesFormAGroupWithTheDigestOfNothing) {
    writeFile(m_root + "/e1", {});
    writeFile(m_root + "/deeper/e2", {});
    const QJsonArray groups = search(m_root);
    bool found = false;
    for (const QJsonValue& value : groups) {
        const QJsonObject group = value.toObject();
        if (group.value("hash").toString() != kEmptyDigest) continue;
        found = true;
        EXPECT_EQ(group.value("size").toDouble(), 0);
        EXPECT_EQ(group.value("files").toArray().size(), 2);
    }
    EXPECT_TRUE(found);
}

TEST_F(Duplicates, RepeatedOrNestedFoldersNeverMakeAFileItsOwnDuplicate) {
    const QString a = m_root + "/a";
    EXPECT_TRUE(search(a + "," + a).isEmpty());
    EXPECT_TRUE(search(QString(R"(["%1", "%2"])").arg(m_root + "/big", m_root + "/big/")).size() ==
                1);
    const QJsonArray nested = search(m_root + "," + a + "," + m_root + "/b");
    EXPECT_EQ(nested.size(), 2);
    for (const QJsonValue& group : nested) {
        EXPECT_EQ(group.toObject().value("files").toArray().size(), 2);
    }
}

TEST_F(Duplicates, HiddenFilesAndLinksAreNeverGrouped) {
    const QString folder = m_root + "/a";
    writeFile(folder + "/.hidden-copy.txt", "same text");
    ASSERT_EQ(::symlink(qPrintable(folder + "/one.txt"), qPrintable(folder + "/link.txt")), 0);
    EXPECT_TRUE(search(folder).isEmpty());
}

// Drops to another effective user, so that files the real user (root) may list cannot be
// opened: listing asks for the real user, opening checks the effective one.
class EffectiveUser final {
public:
    explicit EffectiveUser(uid_t user) : m_active(::geteuid() == 0 && ::seteuid(user) == 0) {}
    ~EffectiveUser() {
        if (m_active) (void)::seteuid(0);
    }
    bool active() const { return m_active; }

private:
    bool m_active;
};

TEST_F(Duplicates, UnreadableFilesNeverJoinAGroup) {
    // An ordinary user's locked files are not even listed, so nothing would test their reads.
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to list files it then cannot open";
    const QString folder = m_root + "/locked";
    writeFile(folder + "/readable.txt", "twin");
    writeFile(folder + "/locked-1.txt", "twin");
    writeFile(folder + "/locked-2.txt", "twin");
    for (const char* name : {"/locked-1.txt", "/locked-2.txt"}) {
        ASSERT_EQ(::chmod(qPrintable(folder + name), 0), 0);
    }
    ::chmod(qPrintable(m_temp.path()), 0755);
    QJsonArray groups;
    QJsonArray listed;
    {
        const EffectiveUser nobody(65534);
        ASSERT_TRUE(nobody.active());
        listed = parseObject(scanLargeFiles(folder, 0)).value("list").toArray();
        groups = search(folder);
    }
    ASSERT_EQ(listed.size(), 3);  // the locked files are walked, and fail only when read
    // Two failed reads must not make a pair either.
    EXPECT_TRUE(groups.isEmpty()) << QJsonDocument(groups).toJson().toStdString();
}

TEST_F(Duplicates, AsynchronousScanEndsWithExactlyTheSearchDocument) {
    auto recorder = std::make_shared<EventRecorder>();
    const QString folders = m_root + "/big," + m_root;
    const int id =
        startScanDuplicateFiles(folders, [recorder](const QVariantMap& e) { (*recorder)(e); });
    const auto events = recorder->waitForFinal();
    test_support::expectOneFinalEventLast(events, id);
    EXPECT_EQ(events.back().value("type").toString(), "done");
    EXPECT_EQ(events.back().value("data").toString(), findDuplicateFiles(folders));
    EXPECT_FALSE(stopScanDuplicateFiles(id));
    EXPECT_FALSE(addScanDuplicateFilesFolder(id, m_root));
}

TEST_F(Duplicates, AsynchronousScanWithoutEqualSizesSendsOnlyDone) {
    auto recorder = std::make_shared<EventRecorder>();
    const int id = startScanDuplicateFiles(m_root + "/unique.bin," + m_root + "/a",
                                           [recorder](const QVariantMap& e) { (*recorder)(e); });
    const auto events = recorder->waitForFinal();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].value("id").toInt(), id);
    EXPECT_EQ(events[0].value("type").toString(), "done");
    EXPECT_EQ(events[0].value("data").toString(), "{\n    \"groups\": [\n    ]\n}\n");
}

// Many files of few sizes, twins and same-prefix decoys spread over overlapping folders: more
// records than one read-ahead run, so the scan's reads ahead must match its ordered grouping.
TEST(DuplicateScan, MatchesTheSearchOnAManyFileTreeWithOverlappingFolders) {
    QTemporaryDir temp;
    const QString root = temp.path();
    std::uint32_t state = 12345;
    const auto next = [&state] { return state = state * 1664525u + 1013904223u; };
    for (int i = 0; i < 5000; ++i) {
        const int size = static_cast<int>(next() % 6) * 3000;  // 0 to 15,000 bytes
        QByteArray content(size, 'p');
        // Same first bytes for all; the tail tells twins from decoys.
        if (size > 0) content[size - 1] = static_cast<char>('a' + next() % 3);
        writeFile(QString("%1/d%2/f%3").arg(root).arg(i % 37).arg(i), content);
    }
    const QString folders = root + "/d1," + root + "," + root + "/d2";
    auto recorder = std::make_shared<EventRecorder>();
    startScanDuplicateFiles(folders, [recorder](const QVariantMap& e) { (*recorder)(e); });
    const auto events = recorder->waitForFinal();
    EXPECT_EQ(events.back().value("data").toString(), findDuplicateFiles(folders));
    EXPECT_GE(groupsOf(findDuplicateFiles(folders)).size(), 10);
}

// A file that had no twin when its folder was read finds one in a folder read later: the
// later folder's reads must take the earlier files of its size into account.
TEST(DuplicateScan, TwinsFoundInALaterFolderJoinEarlierFilesOfTheirSize) {
    QTemporaryDir temp;
    const QString first = temp.path() + "/first";
    const QString second = temp.path() + "/second";
    writeFile(first + "/big-x.bin", bigContent('x', false));
    writeFile(first + "/big-x-twisted.bin", bigContent('x', true));  // same size and prefix
    writeFile(first + "/small-abc.txt", "abc");
    writeFile(first + "/small-abd.txt", "abd");
    writeFile(first + "/pair-1.txt", "pair!");
    writeFile(first + "/pair-2.txt", "pair!");
    writeFile(second + "/big-x-copy.bin", bigContent('x', false));
    writeFile(second + "/small-abc-copy.txt", "abc");
    writeFile(second + "/pair-3.txt", "pair!");
    const QString folders = first + "," + second;
    auto recorder = std::make_shared<EventRecorder>();
    startScanDuplicateFiles(folders, [recorder](const QVariantMap& e) { (*recorder)(e); });
    const auto events = recorder->waitForFinal();
    const QString document = events.back().value("data").toString();
    EXPECT_EQ(document, findDuplicateFiles(folders));
    QSet<QStringList> groups;
    for (const QJsonValue& group : groupsOf(document)) {
        QStringList paths = pathsOf(group.toObject().value("files").toArray());
        paths.sort();  // files of one folder come in the file system's listing order
        groups << paths;
    }
    EXPECT_EQ(groups, (QSet<QStringList>{
                          {first + "/big-x.bin", second + "/big-x-copy.bin"},
                          {first + "/small-abc.txt", second + "/small-abc-copy.txt"},
                          {first + "/pair-1.txt", first + "/pair-2.txt", second + "/pair-3.txt"},
                      }));
}

class DuplicatesInAWideTree : public Duplicates {
protected:
    void SetUp() override {
        Duplicates::SetUp();
        test_support::writeWideTree(m_temp.path() + "/wide", 3000);
    }
};

TEST_F(DuplicatesInAWideTree, StopEndsTheScanWithStoppedAndRefusesLaterAdds) {
    auto recorder = std::make_shared<EventRecorder>();
    const int id = startScanDuplicateFiles(m_temp.path() + "/wide",
                                           [recorder](const QVariantMap& e) { (*recorder)(e); });
    ASSERT_TRUE(stopScanDuplicateFiles(id));
    EXPECT_FALSE(addScanDuplicateFilesFolder(id, m_root));
    const auto events = recorder->waitForFinal();
    test_support::expectOneFinalEventLast(events, id);
    EXPECT_EQ(events.back().value("type").toString(), "stopped");
    EXPECT_FALSE(stopScanDuplicateFiles(id));
    // Every file of the tree has twins: a stop that changed only the final word would report
    // all 3,000 of them.
    int grouped = 0;
    for (const QJsonValue& group : groupsOf(events.back().value("data").toString())) {
        grouped += group.toObject().value("files").toArray().size();
    }
    EXPECT_LT(grouped, 3000);
}

TEST_F(DuplicatesInAWideTree, FolderAddedWhileRunningIsWalkedAndOverlapsAreIgnored) {
    auto recorder = std::make_shared<EventRecorder>();
    const int id = startScanDuplicateFiles(m_temp.path() + "/wide," + m_root + "/a",
                                           [recorder](const QVariantMap& e) { (*recorder)(e); });
    ASSERT_TRUE(addScanDuplicateFilesFolder(id, m_root));
    const auto events = recorder->waitForFinal();
    test_support::expectOneFinalEventLast(events, id);
    const QJsonArray groups = groupsOf(events.back().value("data").toString());
    QStringList textGroup;
    for (const QJsonValue& group : groups) {
        const QStringList paths = pathsOf(group.toObject().value("files").toArray());
        if (paths.contains(m_root + "/a/one.txt")) textGroup = paths;
    }
    EXPECT_EQ(textGroup, (QStringList{m_root + "/a/one.txt", m_root + "/b/two.txt"}));
}

}  // namespace
}  // namespace pellanor::scan
