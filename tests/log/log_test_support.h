// Helpers for tests that read log files.
#pragma once

#include <QDate>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace pellanor::test_support {

inline QStringList readLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

inline QString datedLogName(const QDate& date) {
    return QStringLiteral("Pellanor-%1.log").arg(date.toString(QStringLiteral("yyyy-MM-dd")));
}

// The message part of a log line (300 columns or more), or a null string if the line does not
// have the layout: date, time, elapsed ms, executable, process and thread ids, message, " [ ]".
inline QString messageOf(const QString& line, const QString& executableName) {
    const QRegularExpression layout(
        QStringLiteral(R"(^\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} [ \d]{3}\dms\])") +
        QStringLiteral("\\[%1\\]").arg(QRegularExpression::escape(executableName)) +
        QStringLiteral(R"(\[P[ \d]{5}\d+\]\[T[ \d]{5}\d+\](.{300,}) \[ \]$)"));
    return layout.match(line).captured(1);
}

}  // namespace pellanor::test_support
