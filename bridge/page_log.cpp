#include "bridge/page_log.h"

#include <QDebug>

#include "log/logger.h"

namespace pellanor::bridge {

int log(const QString& message, const QString& tag) {
    qDebug().noquote() << QStringLiteral("[") + tag + QStringLiteral("]: \t") + message;
    logging::logger().info("[{:>12}] {}", tag.toStdString(), message.toStdString());
    return 0;
}

}  // namespace pellanor::bridge
