// Compact JSON text written straight into one string, for the reports of the incremental scans:
// they go out every half second, and a JSON tree of their records would be built, written out
// and thrown away each time.
#pragma once

#include <QString>
#include <QtGlobal>

#include "scan/file_record.h"

namespace pellanor::scan {

// Appends `text` quoted and escaped as Qt's JSON writer escapes it (a lone surrogate as
// \uXXXX), so a page reads back exactly the string a whole-result report gives.
void appendJsonString(QString& out, const QString& text);

// Appends `value` as Qt's JSON writer prints the same integral double.
void appendJsonNumber(QString& out, qint64 value);

// Appends `"key":`; `key` is plain ASCII.
void appendJsonKey(QString& out, const char* key);

// Appends the record as one compact object with the keys, key order and values of toJson().
void appendRecordJson(QString& out, const FileRecord& record);

}  // namespace pellanor::scan
