#include "scan/json_writer.h"

#include <utility>

namespace pellanor::scan {
namespace {

void appendEscaped(QString& out, const QString& text) {
    static const char kHex[] = "0123456789abcdef";
    out += QLatin1Char('"');
    const QChar* const begin = text.constData();
    const QChar* const end = begin + text.size();
    const QChar* plain = begin;  // start of the run not yet copied
    for (const QChar* c = begin; c != end; ++c) {
        const ushort u = c->unicode();
        const char* short_ = nullptr;
        bool escape = false;
        switch (u) {
            case '"': short_ = "\\\""; break;
            case '\\': short_ = "\\\\"; break;
            case '\b': short_ = "\\b"; break;
            case '\f': short_ = "\\f"; break;
            case '\n': short_ = "\\n"; break;
            case '\r': short_ = "\\r"; break;
            case '\t': short_ = "\\t"; break;
            default:
                if (u < 0x20) {
                    escape = true;
                } else if (c->isHighSurrogate() && c + 1 != end && (c + 1)->isLowSurrogate()) {
                    ++c;  // a pair stays as it is
                } else if (c->isSurrogate()) {
                    escape = true;
                }
        }
        if (short_ == nullptr && !escape) continue;
        out.append(plain, static_cast<int>(c - plain));
        plain = c + 1;
        if (short_ != nullptr) {
            out += QLatin1String(short_);
        } else {
            out += QLatin1String("\\u");
            for (int shift = 12; shift >= 0; shift -= 4) out += QLatin1Char(kHex[(u >> shift) & 0xf]);
        }
    }
    out.append(plain, static_cast<int>(end - plain));
    out += QLatin1Char('"');
}

}  // namespace

void JsonWriter::separate() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_hasMembers.empty()) return;
    if (m_hasMembers.back()) m_text += QLatin1Char(',');
    m_hasMembers.back() = true;
}

JsonWriter& JsonWriter::beginObject() {
    separate();
    m_text += QLatin1Char('{');
    m_hasMembers.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    m_text += QLatin1Char('}');
    m_hasMembers.pop_back();
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    separate();
    m_text += QLatin1Char('[');
    m_hasMembers.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    m_text += QLatin1Char(']');
    m_hasMembers.pop_back();
    return *this;
}

JsonWriter& JsonWriter::key(const char* name) {
    separate();
    m_text += QLatin1Char('"');
    m_text += QLatin1String(name);
    m_text += QLatin1String("\":");
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::value(const QString& text) {
    separate();
    appendEscaped(m_text, text);
    return *this;
}

JsonWriter& JsonWriter::value(const char* latin1) {
    return value(QString::fromLatin1(latin1));
}

JsonWriter& JsonWriter::value(qint64 number) {
    separate();
    m_text += QString::number(number);
    return *this;
}

JsonWriter& JsonWriter::value(bool flag) {
    separate();
    m_text += QLatin1String(flag ? "true" : "false");
    return *this;
}

QString JsonWriter::take() {
    m_hasMembers.clear();
    m_afterKey = false;
    return std::exchange(m_text, QString());
}

}  // namespace pellanor::scan
