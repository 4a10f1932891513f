#include "clean/environment_path.h"

#include "platform/environment.h"

namespace pellanor {

QString expandEnvironmentPath(const QString& text) {
    return QString::fromStdString(platform::expandEnvironmentStrings(text.toStdString()));
}

}  // namespace pellanor
