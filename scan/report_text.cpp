// Most strings of a report (paths, names, times, digests) need no escaping: those are copied in
// one append after one look at their characters.
#include "scan/report_text.h"

#include <cinttypes>
#include <cstdio>

namespace pellanor::scan {
namespace {

bool needsEscape(ushort u) { return u < 0x20 || u == '"' || u == '\\' || QChar::isSurrogate(u); }

void appendHexEscape(QString& out, ushort u) {
    static const char kHex[] = "0123456789abcdef";
    out += QLatin1String("\\u");
    for (int shift = 12; shift >= 0; shift -= 4) out += QLatin1Char(kHex[(u >> shift) & 0xf]);
}

void appendEscaped(QString& out, const QChar* c, const QChar* end) {
    for (; c != end; ++c) {
        const ushort u = c->unicode();
        if (!needsEscape(u)) {
            out += *c;
            continue;
        }
        switch (u) {
            case '"':
                out += QLatin1String("\\\"");
                continue;
            case '\\':
                out += QLatin1String("\\\\");
                continue;
            case '\b':
                out += QLatin1String("\\b");
                continue;
            case '\f':
                out += QLatin1String("\\f");
                continue;
            case '\n':
                out += QLatin1String("\\n");
                continue;
            case '\r':
                out += QLatin1String("\\r");
                continue;
            case '\t':
                out += QLatin1String("\\t");
                continue;
            default:
                break;
        }
        if (QChar::isHighSurrogate(u) && c + 1 != end && (c + 1)->isLowSurrogate()) {
            out += *c;
            out += *++c;
        } else {
            appendHexEscape(out, u);  // a control character, or a surrogate without its half
        }
    }
}

}  // namespace

void appendJsonString(QString& out, const QString& text) {
    const QChar* const begin = text.constData();
    const QChar* const end = begin + text.size();
    const QChar* plain = begin;
    while (plain != end && !needsEscape(plain->unicode())) ++plain;
    out += QLatin1Char('"');
    out.append(begin, static_cast<int>(plain - begin));
    appendEscaped(out, plain, end);
    out += QLatin1Char('"');
}

// Qt prints an integral double below 2^64 in plain digits; every size and time fits in the
// 2^53 a double holds exactly.
void appendJsonNumber(QString& out, qint64 value) {
    char text[24];
    const int length =
        std::snprintf(text, sizeof text, "%" PRId64, static_cast<std::int64_t>(value));
    out += QLatin1String(text, length);
}

void appendJsonKey(QString& out, const char* key) {
    out += QLatin1Char('"');
    out += QLatin1String(key);
    out += QLatin1String("\":");
}

// Keys in sorted order, as the whole-result documents write them.
void appendRecordJson(QString& out, const FileRecord& record) {
    out += QLatin1Char('{');
    appendJsonKey(out, kFileIdKey);
    if (record.identity) {
        char text[48];
        const int length = std::snprintf(text, sizeof text, "\"%" PRIu32 ":%" PRIu64 "\"",
                                         record.identity->volumeSerial, record.identity->fileIndex);
        out += QLatin1String(text, length);
    } else {
        out += QLatin1String("\"\"");
    }
    out += QLatin1Char(',');
    appendJsonKey(out, kLinksKey);
    appendJsonNumber(out, record.links);
    out += QLatin1Char(',');
    appendJsonKey(out, kModifiedMsecsKey);
    appendJsonNumber(out, record.modifiedMsecs);
    out += QLatin1Char(',');
    appendJsonKey(out, kModifiedTimeKey);
    appendJsonString(out, modifiedTimeText(record));
    out += QLatin1Char(',');
    appendJsonKey(out, kNameKey);
    appendJsonString(out, record.path.mid(record.path.lastIndexOf(QLatin1Char('/')) + 1));
    out += QLatin1Char(',');
    appendJsonKey(out, kPathKey);
    appendJsonString(out, record.path);
    out += QLatin1Char(',');
    appendJsonKey(out, kSizeKey);
    appendJsonNumber(out, record.size);
    out += QLatin1Char('}');
}

}  // namespace pellanor::scan
