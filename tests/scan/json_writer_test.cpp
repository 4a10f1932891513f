// The direct writer must give the text Qt's own compact writer gives for the same values, so
// that documents read back exactly, whatever a file name holds.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "scan/json_writer.h"

namespace pellanor::scan {
namespace {

QString qtCompact(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

TEST(JsonWriterTest, WritesWhatQtWritesForAwkwardTexts) {
    const QString texts[] = {
        "",
        "plain/path.txt",
        "quote \" and backslash \\ in C:\\Users",
        QString("controls \b\f\n\r\t and \x01\x1f end"),
        QString::fromUtf8("Ümlaut, ドキュメント, emoji \xF0\x9F\x93\xB7"),
        QString(QChar(0xD800)) + "lone high, lone low" + QChar(0xDC00),
        QString("\x7f delete and / slash"),
    };
    for (const QString& text : texts) {
        JsonWriter json;
        // Keys in Qt's order (sorted), which the writer leaves to its caller.
        json.beginObject().key("list").beginArray().value(true).value(false).value(-1).endArray();
        json.key("path").value(text).key("size").value(qint64(9007199254740991LL)).endObject();
        const QJsonObject expected{{"path", text},
                                   {"size", 9007199254740991.0},
                                   {"list", QJsonArray{true, false, -1}}};
        const QString written = json.take();
        EXPECT_EQ(written, qtCompact(expected)) << text.toStdString();
        EXPECT_EQ(QJsonDocument::fromJson(written.toUtf8()).object(), expected);
    }
}

TEST(JsonWriterTest, SeparatesNestedMembersAndStartsAfreshAfterTake) {
    JsonWriter json;
    json.beginArray().beginObject().endObject().beginArray().endArray().value("a").endArray();
    EXPECT_EQ(json.take(), "[{},[],\"a\"]");
    json.beginObject().key("k").beginObject().key("x").value(1).endObject().endObject();
    EXPECT_EQ(json.take(), "{\"k\":{\"x\":1}}");
}

}  // namespace
}  // namespace pellanor::scan
