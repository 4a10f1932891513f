#include "cli/json_text.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace pellanor::cli {
namespace {

QByteArray qtWrites(const QJsonValue& value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QString everyAsciiCharacter() {
    QString text;
    for (ushort u = 1; u < 0x80; ++u) text += QChar(u);
    return text;
}

TEST(CliJsonText, WritesWhatQtsWriterWrites) {
    const QString document =
        QJsonDocument(QJsonObject{{"list", QJsonArray{QJsonObject{{"path", "/a \"b\"\\c\n"}}}}})
            .toJson();
    const QJsonValue values[] = {
        QString(),
        everyAsciiCharacter(),
        QString::fromUtf8("caf\xc3\xa9 \xe2\x80\xa8 \xf0\x9f\x98\x80 \xef\xbf\xbf"),
        QString::fromUtf8("\xc2\x80 \xdf\xbf \xe0\xa0\x80 \xf0\x90\x80\x80 \xf4\x8f\xbf\xbf"),
        QString(QChar(0)) + "nul",
        QString(QChar(0xd800)) + "lone high",
        "lone low" + QString(QChar(0xdc00)),
        document,
        42,
        -1.5,
        true,
        QJsonValue::Null,
        QJsonArray{"x", 1},
        QJsonObject{{"b", 1}, {"a", "\t"}},
    };
    for (const QJsonValue& value : values) {
        EXPECT_EQ(jsonText(value), qtWrites(value)) << qtWrites(value).toStdString();
    }
}

QByteArray writtenToFile(const QString& text) {
    std::FILE* file = std::tmpfile();
    writeQuotedJsonString(file, text);
    QByteArray bytes(static_cast<int>(std::ftell(file)), '\0');
    std::rewind(file);
    const std::size_t read =
        std::fread(bytes.data(), 1, static_cast<std::size_t>(bytes.size()), file);
    std::fclose(file);
    return bytes.left(static_cast<int>(read));
}

// Texts longer than one slice, with a surrogate pair across every slice boundary it could meet.
TEST(CliJsonText, StringsWrittenInSlicesAreTheQuotedText) {
    QString pairsAcrossSlices;
    for (int i = 0; i < 3 * 64 * 1024 + 5; ++i) {
        pairsAcrossSlices +=
            i % 3 == 0 ? QString::fromUtf8("\xf0\x9f\x98\x80") : QStringLiteral("\"");
    }
    const QString texts[] = {
        QString(),
        everyAsciiCharacter(),
        QString(64 * 1024 - 1, QLatin1Char('a')) + QString::fromUtf8("\xf0\x9f\x98\x80") + "tail",
        pairsAcrossSlices,
        QString(70000, QChar(0x20ac)) + QChar(0xd800),
    };
    for (const QString& text : texts) {
        EXPECT_EQ(writtenToFile(text), quotedJsonString(text)) << text.size();
        EXPECT_EQ(writtenToFile(text), qtWrites(text)) << text.size();
    }
}

TEST(CliJsonText, ReportLinesAreWhatQtsObjectWrites) {
    const QVariantMap events[] = {
        {{"type", "progress"}, {"id", 3}, {"data", everyAsciiCharacter()}},
        {{"type", "error"}, {"id", 1}, {"error", QString::fromUtf8("\xe2\x9c\x97 \"x\"")}},
        {{"type", "done"}, {"success", true}, {"count", 2.5}, {"list", QVariantList{1, "a"}}},
        {},
    };
    for (const QVariantMap& event : events) {
        const QByteArray qt =
            QJsonDocument(QJsonObject::fromVariantMap(event)).toJson(QJsonDocument::Compact);
        EXPECT_EQ(jsonLine(event), qt);
        std::FILE* file = std::tmpfile();
        writeJsonLine(file, event);
        QByteArray written(static_cast<int>(std::ftell(file)), '\0');
        std::rewind(file);
        written.resize(static_cast<int>(
            std::fread(written.data(), 1, static_cast<std::size_t>(written.size()), file)));
        std::fclose(file);
        EXPECT_EQ(written, qt);
    }
}

}  // namespace
}  // namespace pellanor::cli
