// Qt's indented form: four spaces per level, `"key": value`, ",\n" between values, and an
// empty container still opened on one line and closed on the next. Strings are escaped as
// Qt escapes them on the way to UTF-8, which the UTF-16 text then reads back: only ASCII
// controls, '"' and '\\' are escaped, and a lone surrogate, which has no UTF-8 form, becomes
// \uXXXX in lower-case hex.
#include "scan/json_writer.h"

namespace pellanor::scan {
namespace {

const char kHex[] = "0123456789abcdef";

void appendEscape(QString& out, ushort u) {
    out += QLatin1String("\\u");
    for (int shift = 12; shift >= 0; shift -= 4) out += QLatin1Char(kHex[(u >> shift) & 0xf]);
}

void appendAscii(QString& out, ushort u) {
    switch (u) {
        case '"':
            out += QLatin1String("\\\"");
            return;
        case '\\':
            out += QLatin1String("\\\\");
            return;
        case '\b':
            out += QLatin1String("\\b");
            return;
        case '\f':
            out += QLatin1String("\\f");
            return;
        case '\n':
            out += QLatin1String("\\n");
            return;
        case '\r':
            out += QLatin1String("\\r");
            return;
        case '\t':
            out += QLatin1String("\\t");
            return;
        default:
            if (u < 0x20) {
                appendEscape(out, u);
            } else {
                out += QChar(u);
            }
    }
}

}  // namespace

void appendJsonString(QString& out, const QString& text) {
    out += QLatin1Char('"');
    const QChar* const end = text.constData() + text.size();
    for (const QChar* c = text.constData(); c != end; ++c) {
        const ushort u = c->unicode();
        if (u < 0x80) {
            appendAscii(out, u);
        } else if (c->isHighSurrogate() && c + 1 != end && (c + 1)->isLowSurrogate()) {
            out += *c;
            out += *++c;
        } else if (c->isSurrogate()) {
            appendEscape(out, u);
        } else {
            out += *c;
        }
    }
    out += QLatin1Char('"');
}

void IndentedJsonWriter::indent(std::size_t depth) {
    for (std::size_t i = 0; i < depth; ++i) m_text += QLatin1String("    ");
}

// A value in an array starts its own line; one after a key stays on the key's line.
void IndentedJsonWriter::beforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_counts.empty()) return;
    if (m_counts.back()++ > 0) m_text += QLatin1String(",\n");
    indent(m_counts.size());
}

void IndentedJsonWriter::close(char bracket) {
    const int count = m_counts.back();
    m_counts.pop_back();
    if (count > 0) m_text += QLatin1Char('\n');
    indent(m_counts.size());
    m_text += QLatin1Char(bracket);
    if (m_counts.empty()) m_text += QLatin1Char('\n');
}

void IndentedJsonWriter::beginObject() {
    beforeValue();
    m_text += QLatin1String("{\n");
    m_counts.push_back(0);
}

void IndentedJsonWriter::endObject() { close('}'); }

void IndentedJsonWriter::beginArray() {
    beforeValue();
    m_text += QLatin1String("[\n");
    m_counts.push_back(0);
}

void IndentedJsonWriter::endArray() { close(']'); }

void IndentedJsonWriter::key(const char* name) {
    beforeValue();
    m_text += QLatin1Char('"');
    m_text += QLatin1String(name);
    m_text += QLatin1String("\": ");
    m_afterKey = true;
}

void IndentedJsonWriter::value(const QString& text) {
    beforeValue();
    appendJsonString(m_text, text);
}

void IndentedJsonWriter::value(qint64 number) {
    beforeValue();
    m_text += QString::number(number);
}

QString IndentedJsonWriter::take() {
    m_counts.clear();
    m_afterKey = false;
    QString text = std::move(m_text);
    m_text = QString();
    return text;
}

}  // namespace pellanor::scan
