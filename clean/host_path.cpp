#include "clean/host_path.h"

#include "platform/paths.h"

namespace pellanor {

QString hostPath(const QString& windowsPath) {
    return QString::fromStdString(platform::localPath(windowsPath.toStdString()));
}

}  // namespace pellanor
