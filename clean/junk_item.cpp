// JSON forms of junk items.
#include "clean/junk_item.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace pellanor {

QJsonObject toJson(const JunkItem& item) {
    return QJsonObject{{QLatin1String(kJunkTypeKey), item.type},
                       {QLatin1String(kJunkNameKey), item.name},
                       {QLatin1String(kJunkDescriptionKey), item.description},
                       {QLatin1String(kJunkPathKey), item.path},
                       // A JSON number is a double: exact up to 2^53 bytes, far above any disk.
                       {QLatin1String(kJunkSizeKey), static_cast<double>(item.size)}};
}

QString toEnvelopeText(const QList<JunkItem>& items) {
    QJsonArray list;
    for (const JunkItem& item : items) list.append(toJson(item));
    const QJsonObject envelope{{QLatin1String(kJunkListKey), list}};
    return QString::fromUtf8(QJsonDocument(envelope).toJson(QJsonDocument::Indented));
}

}  // namespace pellanor
