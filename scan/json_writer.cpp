// Qt's indented form: four spaces per level, `"key": value`, ",\n" between values, and an
// empty container still opened on one line and closed on the next. Strings are escaped as
// Qt escapes them on the way to UTF-8, which the UTF-16 text then reads back: only ASCII
// controls, '"' and '\\' are escaped, and a lone surrogate, which has no UTF-8 form, becomes
// \uXXXX in lower-case hex.
#include "scan/json_writer.h"

#include "scan/report_text.h"

#include <cstdio>

namespace pellanor::scan {

void IndentedJsonWriter::put(QLatin1String text) {
    if (m_measuring) {
        m_length += text.size();
    } else {
        m_text += text;
    }
}

void IndentedJsonWriter::put(QChar c) {
    if (m_measuring) {
        ++m_length;
    } else {
        m_text += c;
    }
}

// One escaping rule for every document (scan/report_text.h); measuring escapes into a scratch
// text, which only the few strings of files with a twin go through.
void IndentedJsonWriter::putString(const QString& text) {
    if (m_measuring) {
        QString escaped;
        appendJsonString(escaped, text);
        m_length += escaped.size();
    } else {
        appendJsonString(m_text, text);
    }
}

void IndentedJsonWriter::indent(std::size_t depth) {
    for (std::size_t i = 0; i < depth; ++i) put(QLatin1String("    "));
}

// A value in an array starts its own line; one after a key stays on the key's line.
void IndentedJsonWriter::beforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_counts.empty()) return;
    if (m_counts.back()++ > 0) put(QLatin1String(",\n"));
    indent(m_counts.size());
}

void IndentedJsonWriter::close(char bracket) {
    const int count = m_counts.back();
    m_counts.pop_back();
    if (count > 0) put(QLatin1Char('\n'));
    indent(m_counts.size());
    put(QLatin1Char(bracket));
    if (m_counts.empty()) put(QLatin1Char('\n'));
}

void IndentedJsonWriter::beginObject() {
    beforeValue();
    put(QLatin1String("{\n"));
    m_counts.push_back(0);
}

void IndentedJsonWriter::endObject() { close('}'); }

void IndentedJsonWriter::beginArray() {
    beforeValue();
    put(QLatin1String("[\n"));
    m_counts.push_back(0);
}

void IndentedJsonWriter::endArray() { close(']'); }

void IndentedJsonWriter::key(const char* name) {
    beforeValue();
    put(QLatin1Char('"'));
    put(QLatin1String(name));
    put(QLatin1String("\": "));
    m_afterKey = true;
}

void IndentedJsonWriter::value(const QString& text) {
    beforeValue();
    putString(text);
}

void IndentedJsonWriter::value(qint64 number) {
    beforeValue();
    char digits[24];
    const int length = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(number));
    put(QLatin1String(digits, length));
}

QString IndentedJsonWriter::take() {
    m_counts.clear();
    m_afterKey = false;
    m_length = 0;
    QString text = std::move(m_text);
    m_text = QString();
    return text;
}

}  // namespace pellanor::scan
