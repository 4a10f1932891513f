#include "scan/folder_list.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>
#include <limits>

#include "clean/environment_path.h"
#include "platform/paths.h"

namespace pellanor::scan {

QStringList parseFolderList(const QString& text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    QStringList folders;
    if (error.error == QJsonParseError::NoError && document.isArray()) {
        for (const QJsonValue& value : document.array()) folders << value.toString();
        return folders;
    }
    for (const QString& part : text.split(QLatin1Char(','))) folders << part.trimmed();
    return folders;
}

qint64 minSizeFromScriptNumber(double value) {
    const float narrowed = static_cast<float>(value);
    if (std::isnan(narrowed)) return 0;
    // 2^63 is exactly representable as a float; anything at or above it does not fit.
    constexpr float kLimit = 9223372036854775808.0f;
    if (narrowed >= kLimit) return std::numeric_limits<qint64>::max();
    if (narrowed < -kLimit) return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(narrowed);
}

QString scanRoot(const QString& folder) {
    const QString expanded = expandEnvironmentPath(folder);
    const QString local = QString::fromStdString(platform::localPath(expanded.toStdString()));
    const QFileInfo info(local);
    if (local.isEmpty() || !info.isDir()) return {};
    // Records carry clean absolute paths; cleaning the root once keeps every child path clean.
    // A root that is a link, or lies below one, is walked under its real path: records then
    // name where the file is, and the deletion that may follow never goes through a link.
    const QString real = info.canonicalFilePath();
    return QDir::cleanPath(real.isEmpty() ? info.absoluteFilePath() : real);
}

platform::DirectoryFilter visibleFiles(bool recursive) {
    platform::DirectoryFilter filter;
    filter.readableOnly = true;
    filter.recursive = recursive;
    return filter;
}

}  // namespace pellanor::scan
