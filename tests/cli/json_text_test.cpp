#include "cli/json_text.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

TEST(CliJsonText, ReportLinesAreWhatQtsObjectWrites) {
    const QVariantMap events[] = {
        {{"type", "progress"}, {"id", 3}, {"data", everyAsciiCharacter()}},
        {{"type", "error"}, {"id", 1}, {"error", QString::fromUtf8("\xe2\x9c\x97 \"x\"")}},
        {{"type", "done"}, {"success", true}, {"count", 2.5}, {"list", QVariantList{1, "a"}}},
        {},
    };
    for (const QVariantMap& event : events) {
        EXPECT_EQ(jsonLine(event),
                  QJsonDocument(QJsonObject::fromVariantMap(event)).toJson(QJsonDocument::Compact));
    }
}

}  // namespace
}  // namespace pellanor::cli
