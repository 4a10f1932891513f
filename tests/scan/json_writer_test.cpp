#include "scan/json_writer.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "scan/file_record.h"

namespace pellanor::scan {
namespace {

QString qtWrites(const QJsonObject& root) {
    return QString::fromUtf8(QJsonDocument(root).toJson());
}

// Writes `value` through the writer as QJsonDocument would see it (keys in sorted order).
void write(IndentedJsonWriter& writer, const QJsonValue& value) {
    if (value.isString()) return writer.value(value.toString());
    if (value.isDouble()) return writer.value(static_cast<qint64>(value.toDouble()));
    if (value.isArray()) {
        writer.beginArray();
        for (const QJsonValue& item : value.toArray()) write(writer, item);
        return writer.endArray();
    }
    writer.beginObject();
    const QJsonObject object = value.toObject();
    std::vector<QByteArray> keys;
    for (auto it = object.begin(); it != object.end(); ++it) keys.push_back(it.key().toLatin1());
    for (const QByteArray& key : keys) {
        writer.key(key.constData());
        write(writer, object.value(QLatin1String(key)));
    }
    writer.endObject();
}

QString everyControlAndAscii() {
    QString text;
    for (ushort u = 0; u < 0x80; ++u) text += QChar(u);
    return text;
}

TEST(IndentedJsonWriter, WritesWhatQtsIndentedDocumentReadsBack) {
    const QString awkward[] = {
        QString(),
        everyControlAndAscii(),
        QStringLiteral("C:\\Users\\\"quoted\"\\file.txt"),
        QString::fromUtf8("caf\xc3\xa9 \xe2\x80\xa8 \xf0\x9f\x98\x80 \xef\xbf\xbf \xef\xbf\xbe"),
        QString(QChar(0xd800)) + "lone high",
        "lone low" + QString(QChar(0xdc00)),
        "high at the end" + QString(QChar(0xdbff)),
        QString(QChar(0xdc00)) + QChar(0xd800) + "reversed pair",
    };
    for (const QString& text : awkward) {
        const QJsonObject root{
            {"groups",
             QJsonArray{QJsonObject{{"files", QJsonArray{QJsonObject{{"path", text}, {"size", 3}}}},
                                    {"hash", text}}}}};
        IndentedJsonWriter writer;
        write(writer, root);
        EXPECT_EQ(writer.take(), qtWrites(root)) << qtWrites(root).toStdString();
    }
}

TEST(IndentedJsonWriter, EmptyContainersNumbersAndNestingMatchQt) {
    const QJsonObject roots[] = {
        {},
        {{"groups", QJsonArray{}}},
        {{"a", QJsonObject{}}, {"b", QJsonArray{QJsonArray{}, QJsonObject{}}}},
        {{"n", 0}, {"neg", -1234567890123.0}, {"big", 9007199254740992.0}, {"ms", 1744988490000.0}},
        {{"deep", QJsonArray{QJsonArray{QJsonArray{QJsonObject{{"x", "y"}}}}}}},
    };
    for (const QJsonObject& root : roots) {
        IndentedJsonWriter writer;
        write(writer, root);
        EXPECT_EQ(writer.take(), qtWrites(root)) << qtWrites(root).toStdString();
    }
}

TEST(IndentedJsonWriter, MeasuredLengthIsTheWrittenLength) {
    const QJsonObject root{{"files", QJsonArray{everyControlAndAscii(), QString(QChar(0xd834)),
                                                QString::fromUtf8("\xf0\x9f\x98\x80")}}};
    IndentedJsonWriter measure(IndentedJsonWriter::Mode::Measure);
    write(measure, root);
    const QString text = writtenDocument([&](IndentedJsonWriter& writer) { write(writer, root); });
    EXPECT_EQ(measure.length(), text.size());
    EXPECT_EQ(text, qtWrites(root));
    EXPECT_GE(text.capacity(), text.size());
    EXPECT_LE(text.capacity(), text.size() + 1);
}

TEST(IndentedJsonWriter, FileObjectsAreWhatToJsonGives) {
    const FileRecord records[] = {
        {QStringLiteral("/a/b/name.txt"), 12, 1744988490123, platform::FileIdentity{7, 99}, 2},
        {QStringLiteral("/no-identity \"q\""), 0, -1500, std::nullopt, 0},
        {QString::fromUtf8("/\xe6\x96\x87/\xf0\x9f\x98\x80"), 1LL << 40, 0, std::nullopt, 1},
    };
    for (const FileRecord& record : records) {
        IndentedJsonWriter writer;
        writer.beginObject();
        writer.key("file");
        writeFileJson(writer, record.path, record.size, record.modifiedMsecs, record.identity,
                      record.links);
        writer.endObject();
        EXPECT_EQ(writer.take(), qtWrites(QJsonObject{{"file", toJson(record)}}));
    }
}

}  // namespace
}  // namespace pellanor::scan
