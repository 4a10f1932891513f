// The CLI's printed JSON, written straight from the values: a scan's document can run to tens
// of megabytes, and going through a JSON tree held it three times over.
#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QVariantMap>
#include <cstdio>

namespace pellanor::cli {

// `value` as compact JSON text, byte for byte what QJsonDocument writes for it. Does not block.
QByteArray jsonText(const QJsonValue& value);

// `text` as a quoted, escaped JSON string in UTF-8, as QJsonDocument's compact form writes it.
QByteArray quotedJsonString(const QString& text);

// Writes quotedJsonString(text) to `out` in slices, without a copy of the whole text. Blocks
// on the write.
void writeQuotedJsonString(std::FILE* out, const QString& text);

// A report map as one compact JSON object, as QJsonObject::fromVariantMap would print it.
QByteArray jsonLine(const QVariantMap& event);

// Writes jsonLine(event) to `out`, its texts in slices as writeQuotedJsonString writes them.
// Blocks on the write.
void writeJsonLine(std::FILE* out, const QVariantMap& event);

}  // namespace pellanor::cli
