// The process-wide logger: one daily log file in the user's roaming application-data folder,
// and the tag convention every native log line follows.
#pragma once

#include <spdlog/spdlog.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace pellanor::logging {

inline constexpr char kLoggerName[] = "Pellanor";
inline constexpr std::size_t kMaxLogFiles = 30;
// Line layout; %1 stands for the executable's base name.
inline constexpr char kLinePattern[] = "[%Y-%m-%d %H:%M:%S.%e %4oms][%1][P%6P][T%6t]%-300v [%@ %!]";

// "<roaming>/Pellanor/logs"; with an empty `roamingFolder`, the generic data location instead.
std::string logFolder(const std::string& roamingFolder);

// "<folder>/Pellanor-%Y-%m-%d.log": the date conversions are expanded by the sink.
std::string logFileTemplate(const std::string& folder);

// kLinePattern with the executable's base name filled in as literal text.
std::string linePattern(const std::string& executableBaseName);

// A logger writing to the daily files in `folder`, creating the folder if needed. Level and
// flush level are trace. If the file cannot be opened, the logger writes to standard error
// instead and says why there; it never throws for that.
std::shared_ptr<spdlog::logger> createLogger(const std::string& folder,
                                             const std::string& executableBaseName);

// The one logger of the process, created on first use (thread-safe). Every line is flushed.
spdlog::logger& logger();

// Writes "[<tag right-aligned in 24>] <message>" at `level`.
void write(spdlog::level::level_enum level, std::string_view tag, std::string_view message);

// The tagged message convention: info("NativeUtil", "remove file {} result: {}", path, ok).
template <typename... Args>
void info(std::string_view tag, fmt::format_string<Args...> format, Args&&... args) {
    write(spdlog::level::info, tag, fmt::format(format, std::forward<Args>(args)...));
}

// Per-event lines (timers, deliveries).
template <typename... Args>
void debug(std::string_view tag, fmt::format_string<Args...> format, Args&&... args) {
    write(spdlog::level::debug, tag, fmt::format(format, std::forward<Args>(args)...));
}

}  // namespace pellanor::logging
