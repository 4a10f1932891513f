// The daily log file: a new file at local midnight, appended to when it exists, and no more
// than a fixed number of dated files kept in its folder.
#pragma once

#include <spdlog/details/null_mutex.h>
#include <spdlog/sinks/base_sink.h>
#include <spdlog/sinks/daily_file_sink.h>

#include <ctime>
#include <mutex>
#include <string>

namespace pellanor::logging {

// Expands the strftime conversions of the file-name part of a template; the folder part is taken
// literally, so a profile folder with '%', '{' or '}' in its name is harmless.
struct LogFileNameCalculator {
    static spdlog::filename_t calc_filename(const spdlog::filename_t& fileTemplate,
                                            const std::tm& time);
};

class DailyLogSink final : public spdlog::sinks::base_sink<std::mutex> {
public:
    // `fileTemplate` is "<folder>/<prefix>%Y-%m-%d<suffix>". Opens today's file at once and
    // throws spdlog::spdlog_ex if it cannot. Blocks on the file system.
    DailyLogSink(std::string fileTemplate, std::size_t maxFiles);

    // Path of the file being written.
    std::string fileName();

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override;
    void flush_() override;
    void set_pattern_(const std::string& pattern) override;
    void set_formatter_(std::unique_ptr<spdlog::formatter> formatter) override;

private:
    void removeFilesBeyondLimit();

    // Serialised by this sink's own mutex; rotates at 00:00 local time, never truncates.
    spdlog::sinks::daily_file_sink<spdlog::details::null_mutex, LogFileNameCalculator> m_file;
    std::string m_folder;
    std::string m_prefix;
    std::string m_suffix;
    std::size_t m_maxFiles;
    std::string m_currentFile;
};

}  // namespace pellanor::logging
