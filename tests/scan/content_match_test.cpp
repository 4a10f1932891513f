#include "scan/content_match.h"

#include <gtest/gtest.h>

#include "scan/digest.h"
#include "scan_test_support.h"

namespace pellanor::scan {
namespace {

using test_support::writeFile;

class ContentMatch : public ::testing::Test {
protected:
    QString file(const QString& name, const QByteArray& content) {
        writeFile(m_temp.path() + "/" + name, content);
        return m_temp.path() + "/" + name;
    }
    QTemporaryDir m_temp;
};

TEST_F(ContentMatch, SharesOneDigestPerContentAndHashesNoLoneFile) {
    const QByteArray x(300000, 'x');
    QByteArray y = x;
    y[150000] = 'y';  // differs only in the middle
    const QStringList paths{file("x1", x), file("y1", y), file("x2", x), file("y2", y),
                            file("lone", QByteArray(300000, 'l'))};
    const auto found = digestsByContent(paths, x.size(), nullptr);
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(found[0].digest, sha256OfFile(paths[0]));
    EXPECT_EQ(found[2].digest, found[0].digest);
    EXPECT_EQ(found[1].digest, sha256OfFile(paths[1]));
    EXPECT_EQ(found[3].digest, found[1].digest);
    EXPECT_TRUE(found[4].unique);
    EXPECT_TRUE(found[4].digest.isEmpty());
    EXPECT_FALSE(found[0].unique);
}

TEST_F(ContentMatch, UnreadableOrVanishedFilesGetNoDigest) {
    const QStringList missingFirst{m_temp.path() + "/missing", file("a", "same"),
                                   file("b", "same")};
    const auto found = digestsByContent(missingFirst, 4, nullptr);
    EXPECT_TRUE(found[0].digest.isEmpty());
    EXPECT_FALSE(found[1].digest.isEmpty());
    EXPECT_EQ(found[1].digest, found[2].digest);

    const QStringList missingLater{file("c", "same"), m_temp.path() + "/gone"};
    const auto later = digestsByContent(missingLater, 4, nullptr);
    EXPECT_TRUE(later[1].digest.isEmpty());
    EXPECT_TRUE(later[0].unique);  // its only twin candidate could not be read
}

TEST_F(ContentMatch, LargeSetsAndStopsFallBackToPlainAnswers) {
    QStringList many;
    for (int i = 0; i < kMaxComparedFiles + 1; ++i) many << file(QString("m%1").arg(i), "abc");
    const auto each = digestsByContent(many, 3, nullptr);
    for (const ContentDigest& answer : each) {
        EXPECT_FALSE(answer.unique);
        EXPECT_EQ(answer.digest,
                  "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    }
    const std::atomic<bool> stopped{true};
    for (const ContentDigest& answer : digestsByContent(many.mid(0, 2), 3, &stopped)) {
        EXPECT_TRUE(answer.digest.isEmpty());
    }
}

}  // namespace
}  // namespace pellanor::scan
