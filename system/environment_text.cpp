// Expansion one reference at a time: each lookup fits the system expansion's buffer even when
// the whole result would not, so the caller's own limit is the only one that counts.
#include "system/environment_text.h"

#include "platform/environment.h"
#include "platform/paths.h"

namespace pellanor::system {
namespace {

std::optional<QString> variableValue(const QString& name) {
    if (name.isEmpty()) return std::nullopt;
    const std::string reference = '%' + name.toStdString() + '%';
    const std::string value = platform::expandEnvironmentStrings(reference);
    if (value == reference) return std::nullopt;
    return QString::fromStdString(value);
}

}  // namespace

std::optional<QString> expandEnvironmentWithin(const QString& text, int maxLength) {
    QString result;
    int position = 0;
    while (position < text.size()) {
        const int opening = text.indexOf(QLatin1Char('%'), position);
        if (opening < 0) {
            result += text.midRef(position);
            break;
        }
        result += text.midRef(position, opening - position);
        const int closing = text.indexOf(QLatin1Char('%'), opening + 1);
        const std::optional<QString> value =
            closing < 0 ? std::nullopt
                        : variableValue(text.mid(opening + 1, closing - opening - 1));
        if (value) {
            result += *value;
            position = closing + 1;
        } else {
            result += QLatin1Char('%');
            position = opening + 1;
        }
    }
    if (result.size() > maxLength) return std::nullopt;
    return result;
}

QString hostPath(const QString& windowsPath) {
    return QString::fromStdString(platform::localPath(windowsPath.toStdString()));
}

}  // namespace pellanor::system
