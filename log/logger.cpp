#include "log/logger.h"

#include <spdlog/sinks/stdout_sinks.h>

#include <QDir>
#include <QStandardPaths>

#include "log/daily_log_sink.h"
#include "log/line_formatter.h"
#include "platform/executable.h"
#include "platform/known_folders.h"
#include "platform/registry.h"
#include "product/product.h"

namespace pellanor::logging {
namespace {

std::shared_ptr<spdlog::sinks::sink> openSink(const std::string& folder, std::string* error) {
    try {
        return std::make_shared<DailyLogSink>(logFileTemplate(folder), kMaxLogFiles);
    } catch (const spdlog::spdlog_ex& e) {
        *error = e.what();
        return std::make_shared<spdlog::sinks::stderr_sink_mt>();
    }
}

// The registry stand-in cannot log for itself, and what it leaves out of a hive file must show
// in every program that logs, even one that logs nothing else. Set while static objects are
// made, before anything can read the registry.
const bool kRegistryNoticesLogged = [] {
    platform::registry::setNoticeHandler(
        [](const std::string& notice) { write(spdlog::level::warn, "SysUtil", notice); });
    return true;
}();

}  // namespace

std::string logFolder(const std::string& roamingFolder) {
    QString base = QString::fromStdString(roamingFolder);
    if (base.isEmpty()) {
        base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    }
    return QStringLiteral("%1/%2/logs").arg(base, QLatin1String(product::kName)).toStdString();
}

std::string logFileTemplate(const std::string& folder) {
    return QStringLiteral("%1/%2-%3.log")
        .arg(QString::fromStdString(folder), QLatin1String(product::kName),
             QStringLiteral("%Y-%m-%d"))
        .toStdString();
}

std::string linePattern(const std::string& executableBaseName) {
    // A '%' in the name must print as itself, not start a pattern flag.
    QString name = QString::fromStdString(executableBaseName);
    name.replace(QLatin1Char('%'), QLatin1String("%%"));
    return QString::fromLatin1(kLinePattern).arg(name).toStdString();
}

std::shared_ptr<spdlog::logger> createLogger(const std::string& folder,
                                             const std::string& executableBaseName) {
    // The outcome shows when the sink opens its file.
    QDir(QString::fromStdString(folder)).mkpath(QStringLiteral("."));
    std::string error;
    auto sink = openSink(folder, &error);
    auto logger = std::make_shared<spdlog::logger>(kLoggerName, std::move(sink));
    logger->set_level(spdlog::level::trace);
    logger->set_formatter(makeLineFormatter(linePattern(executableBaseName)));
    logger->flush_on(spdlog::level::trace);
    if (!error.empty()) {
        logger->info("[{:>24}] cannot open the log file in {}: {}", "Logger", folder, error);
    }
    return logger;
}

spdlog::logger& logger() {
    // Never destroyed: detached workers may still be logging while the process exits, after
    // static destructors have run.
    static const auto* const instance = new std::shared_ptr<spdlog::logger>(
        createLogger(logFolder(platform::roamingAppDataFolder()), platform::executableBaseName()));
    return **instance;
}

void write(spdlog::level::level_enum level, std::string_view tag, std::string_view message) {
    logger().log(level, "[{:>24}] {}", tag, message);
}

}  // namespace pellanor::logging
