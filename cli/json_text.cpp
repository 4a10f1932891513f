// Strings are escaped from their UTF-8 bytes in one pass into one buffer; everything else is
// small and goes through Qt's writer, which keeps the output the same as before.
#include "cli/json_text.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace pellanor::cli {
namespace {

// A lone surrogate has no UTF-8 form; Qt's writer escapes it, so such text is left to Qt.
bool hasLoneSurrogate(const QString& text) {
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            return true;
        }
    }
    return false;
}

QByteArray qtJsonText(const QJsonValue& value) {
    // A document holds only arrays and objects: print the value as the one item of an array.
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// Bytes an escaped `byte` takes beyond itself.
int escapeCost(unsigned char byte) {
    switch (byte) {
        case '"':
        case '\\':
        case '\b':
        case '\f':
        case '\n':
        case '\r':
        case '\t':
            return 1;
        default:
            return byte < 0x20 ? 5 : 0;
    }
}

void appendEscaped(QByteArray& out, unsigned char byte) {
    static const char kHex[] = "0123456789abcdef";
    switch (byte) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\b':
            out += "\\b";
            return;
        case '\f':
            out += "\\f";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            break;
    }
    if (byte >= 0x20) {
        out += static_cast<char>(byte);
        return;
    }
    out += "\\u00";
    out += kHex[byte >> 4];
    out += kHex[byte & 0xf];
}

// Escaped straight from UTF-16: converting to UTF-8 first would allocate three bytes per
// character, several times the document, for a moment. [begin, end) holds no lone surrogate.
void appendQuotedRange(QByteArray& out, const QChar* begin, const QChar* end) {
    int size = out.size();
    for (const QChar* c = begin; c != end; ++c) {
        const ushort u = c->unicode();
        if (u < 0x80) {
            size += 1 + escapeCost(static_cast<unsigned char>(u));
        } else if (u < 0x800) {
            size += 2;
        } else {
            size += 3;  // a surrogate pair is four bytes: three here, one for its low half
            if (c->isHighSurrogate()) ++c, ++size;
        }
    }
    out.reserve(size);
    for (const QChar* c = begin; c != end; ++c) {
        const ushort u = c->unicode();
        if (u < 0x80) {
            appendEscaped(out, static_cast<unsigned char>(u));
        } else if (c->isHighSurrogate()) {
            const uint point = QChar::surrogateToUcs4(*c, *(c + 1));
            ++c;
            out += static_cast<char>(0xf0 | (point >> 18));
            out += static_cast<char>(0x80 | ((point >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((point >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (point & 0x3f));
        } else if (u < 0x800) {
            out += static_cast<char>(0xc0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3f));
        } else {
            out += static_cast<char>(0xe0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (u & 0x3f));
        }
    }
}

}  // namespace

QByteArray quotedJsonString(const QString& text) {
    if (hasLoneSurrogate(text)) return qtJsonText(QJsonValue(text));
    QByteArray out;
    out += '"';
    appendQuotedRange(out, text.constData(), text.constData() + text.size());
    out += '"';
    return out;
}

// Slices end after a whole surrogate pair, so every slice is valid text of its own.
void writeQuotedJsonString(std::FILE* out, const QString& text) {
    constexpr int kSlice = 64 * 1024;
    if (hasLoneSurrogate(text)) {
        const QByteArray whole = qtJsonText(QJsonValue(text));
        std::fwrite(whole.constData(), 1, static_cast<std::size_t>(whole.size()), out);
        return;
    }
    QByteArray buffer;
    buffer.reserve(3 * kSlice + 2);
    buffer += '"';
    const QChar* c = text.constData();
    const QChar* const end = c + text.size();
    while (c != end) {
        const QChar* stop = end - c > kSlice ? c + kSlice : end;
        if (stop != end && (stop - 1)->isHighSurrogate()) ++stop;
        appendQuotedRange(buffer, c, stop);
        c = stop;
        if (c == end) buffer += '"';
        std::fwrite(buffer.constData(), 1, static_cast<std::size_t>(buffer.size()), out);
        buffer.resize(0);
    }
    if (text.isEmpty()) std::fwrite("\"\"", 1, 2, out);
}

QByteArray jsonText(const QJsonValue& value) {
    return value.isString() ? quotedJsonString(value.toString()) : qtJsonText(value);
}

QByteArray jsonLine(const QVariantMap& event) {
    QByteArray line("{");
    // QVariantMap keeps its keys sorted, as a JSON object prints them.
    for (auto it = event.constBegin(); it != event.constEnd(); ++it) {
        if (line.size() > 1) line += ',';
        line += quotedJsonString(it.key());
        line += ':';
        line += it.value().type() == QVariant::String
                    ? quotedJsonString(it.value().toString())
                    : qtJsonText(QJsonValue::fromVariant(it.value()));
    }
    line += '}';
    return line;
}

void writeJsonLine(std::FILE* out, const QVariantMap& event) {
    const auto put = [out](const QByteArray& bytes) {
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
    };
    std::fputc('{', out);
    for (auto it = event.constBegin(); it != event.constEnd(); ++it) {
        if (it != event.constBegin()) std::fputc(',', out);
        put(quotedJsonString(it.key()));
        std::fputc(':', out);
        if (it.value().type() == QVariant::String) {
            writeQuotedJsonString(out, it.value().toString());
        } else {
            put(qtJsonText(QJsonValue::fromVariant(it.value())));
        }
    }
    std::fputc('}', out);
}

}  // namespace pellanor::cli
