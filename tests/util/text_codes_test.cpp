#include "util/text_codes.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <algorithm>

#include "tests/util/log_capture.h"

namespace pellanor::util {
namespace {

using test_support::LogCapture;

const QString kPathStart =
    QStringLiteral("<rect width=\"100%\" height=\"100%\" fill=\"white\"/><path d=\"");
const QString kClosing = QStringLiteral("\" stroke=\"transparent\" fill=\"black\"/></svg>");

QString openingTag(int side) {
    return QStringLiteral(
               "<svg version=\"1.1\" xmlns=\"http://www.w3.org/2000/svg\" width=\"%1px\" "
               "height=\"%1px\" viewBox=\"0 0 %1 %1\" preserveAspectRatio=\"xMinYMin meet\">")
        .arg(side);
}

// The squares of the path, each "Mx,yhSvSh-Sz ".
QStringList squaresOf(const QString& svg) {
    const int start = svg.indexOf(kPathStart) + kPathStart.size();
    const int end = svg.indexOf(kClosing);
    return svg.mid(start, end - start).split(QStringLiteral("z "), Qt::SkipEmptyParts);
}

TEST(GenerateQrSvg, DrawsAOneCharacterTextAsVersionOneAtScaleEight) {
    const QString svg = generateQrSvg(QStringLiteral("A"));

    EXPECT_TRUE(svg.startsWith(openingTag(232) + kPathStart + QStringLiteral("M32,32h8v8h-8z ")))
        << svg.left(300).toStdString();
    EXPECT_TRUE(svg.endsWith(QStringLiteral("z ") + kClosing));
    const QStringList squares = squaresOf(svg);
    // A version-1 code has 21 x 21 modules; every square lies inside the 4-module quiet zone.
    const QRegularExpression square(QStringLiteral(R"(^M(\d+),(\d+)h8v8h-8$)"));
    for (const QString& text : squares) {
        const auto match = square.match(text);
        ASSERT_TRUE(match.hasMatch()) << text.toStdString();
        for (int axis : {1, 2}) {
            const int position = match.captured(axis).toInt();
            EXPECT_EQ(position % 8, 0);
            EXPECT_GE(position, 32);
            EXPECT_LE(position, 32 + 20 * 8);
        }
    }
    // The three finder patterns alone have 3 x 33 dark modules.
    EXPECT_GT(squares.size(), 99);
    EXPECT_LT(squares.size(), 21 * 21);
}

TEST(GenerateQrSvg, RaisesTheScaleOfAVersionFortyCodeToTwo) {
    const QString svg = generateQrSvg(QString(2300, QLatin1Char('a')));

    EXPECT_TRUE(svg.startsWith(openingTag(370) + kPathStart + QStringLiteral("M8,8h2v2h-2z ")));
    // 177 modules per side: the last row and column start at (176 + 4) x 2.
    int farthest = 0;
    const QRegularExpression square(QStringLiteral(R"(^M(\d+),(\d+)h2v2h-2$)"));
    for (const QString& text : squaresOf(svg)) {
        const auto match = square.match(text);
        ASSERT_TRUE(match.hasMatch()) << text.toStdString();
        farthest = std::max({farthest, match.captured(1).toInt(), match.captured(2).toInt()});
    }
    EXPECT_EQ(farthest, 360);
}

TEST(GenerateQrSvg, AnswersEmptyForAnEmptyOrOverlongTextAndLogsOnlyTheFailure) {
    LogCapture log;

    EXPECT_EQ(generateQrSvg(QString()), QString());
    EXPECT_TRUE(log.lines().isEmpty());

    EXPECT_EQ(generateQrSvg(QString(3000, QLatin1Char('a'))), QString());
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().front().startsWith(
        LogCapture::tagged("NativeUtil", QStringLiteral("generateQrSvg failed: "))));
}

TEST(GenerateQrSvg, EncodesTheWholeTextPastAZeroCharacter) {
    const QString withZero = QStringLiteral("ab") + QChar(0) + QStringLiteral("cd");

    const QString svg = generateQrSvg(withZero);
    EXPECT_FALSE(svg.isEmpty());
    EXPECT_NE(svg, generateQrSvg(QStringLiteral("ab")));
}

TEST(ToBase64Str, UsesTheUrlSafeAlphabetAndKeepsPadding) {
    EXPECT_EQ(toBase64Str(QStringLiteral("<<\?\?\?>>")), QStringLiteral("PDw_Pz8-Pg=="));
    EXPECT_EQ(toBase64Str(QStringLiteral("ÿþ")), QStringLiteral("w7_Dvg=="));
    EXPECT_EQ(toBase64Str(QString()), QString());
}

}  // namespace
}  // namespace pellanor::util
