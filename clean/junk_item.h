// One measured junk category and the JSON forms the pages read: the item object and the
// envelope {"list": [...]} that every junk list is returned in.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

namespace pellanor {

inline constexpr char kJunkTypeKey[] = "type";
inline constexpr char kJunkNameKey[] = "name";
inline constexpr char kJunkDescriptionKey[] = "description";
inline constexpr char kJunkPathKey[] = "path";
inline constexpr char kJunkSizeKey[] = "size";
inline constexpr char kJunkListKey[] = "list";

struct JunkItem {
    QString type;         // category id, the key the cleaning methods take back
    QString name;         // display name
    QString description;  // one line for the UI
    QString path;         // the folder or marker shown to the user
    qint64 size = 0;      // bytes
};

// An object with exactly the keys "type", "name", "description", "path" and "size".
QJsonObject toJson(const JunkItem& item);

// {"list": [items in the given order]} in the JSON writer's indented layout.
QString toEnvelopeText(const QList<JunkItem>& items);

}  // namespace pellanor
