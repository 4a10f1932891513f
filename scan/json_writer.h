// Compact JSON text written straight into a QString, for documents of tens of thousands of
// entries where a QJsonDocument tree, its UTF-8 text and the QString made from it would hold
// the document three times over and take several times as long.
#pragma once

#include <QString>
#include <vector>

namespace pellanor::scan {

// Writes one JSON value: objects and arrays opened and closed in order, a key before each
// member's value. Commas come by themselves. Strings are escaped as Qt's writer escapes them
// (a lone surrogate becomes a \u escape, as Qt writes it), so the text reads back to the same
// values. Misuse (a value without a key inside an object) is the caller's fault and is not
// checked.
class JsonWriter final {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    // `name` is Latin-1 and needs no escaping (the program's own keys).
    JsonWriter& key(const char* name);
    JsonWriter& value(const QString& text);
    JsonWriter& value(const char* latin1);
    JsonWriter& value(qint64 number);
    JsonWriter& value(int number) { return value(static_cast<qint64>(number)); }
    JsonWriter& value(bool flag);

    // Reserves room for `characters` more.
    void reserve(int characters) { m_text.reserve(m_text.size() + characters); }
    // The text written; the writer is empty afterwards.
    QString take();

private:
    void separate();

    QString m_text;
    std::vector<bool> m_hasMembers;  // one per open object or array
    bool m_afterKey = false;
};

}  // namespace pellanor::scan
