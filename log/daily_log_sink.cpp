// The library's daily sink does the writing and the rotation. Retention is done here: the
// library only tracks files of consecutive days back from today, so after a day without a run
// it would never delete the older files again.
#include "log/daily_log_sink.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

namespace pellanor::logging {
namespace {

namespace fs = std::filesystem;

constexpr char kDateConversions[] = "%Y-%m-%d";
constexpr std::size_t kDateLength = 10;  // 2026-12-06

std::size_t folderEnd(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}

std::string formatTime(const std::string& format, const std::tm& time) {
    // A trailing blank tells an empty expansion from a buffer that is too small.
    const std::string withBlank = format + ' ';
    std::vector<char> buffer(withBlank.size() + 64);
    for (;;) {
        const std::size_t length =
            std::strftime(buffer.data(), buffer.size(), withBlank.c_str(), &time);
        if (length != 0) return std::string(buffer.data(), length - 1);
        buffer.resize(buffer.size() * 2);
    }
}

bool isDatedName(const std::string& name, const std::string& prefix, const std::string& suffix) {
    if (name.size() != prefix.size() + kDateLength + suffix.size()) return false;
    if (name.compare(0, prefix.size(), prefix) != 0) return false;
    if (name.compare(prefix.size() + kDateLength, suffix.size(), suffix) != 0) return false;
    for (std::size_t i = 0; i < kDateLength; ++i) {
        const char c = name[prefix.size() + i];
        const bool dash = i == 4 || i == 7;
        if (dash ? c != '-' : (c < '0' || c > '9')) return false;
    }
    return true;
}

}  // namespace

spdlog::filename_t LogFileNameCalculator::calc_filename(const spdlog::filename_t& fileTemplate,
                                                        const std::tm& time) {
    const std::size_t nameStart = folderEnd(fileTemplate);
    return fileTemplate.substr(0, nameStart) + formatTime(fileTemplate.substr(nameStart), time);
}

DailyLogSink::DailyLogSink(std::string fileTemplate, std::size_t maxFiles)
    : m_file(fileTemplate, 0, 0, false, 0), m_maxFiles(maxFiles) {
    const std::size_t nameStart = folderEnd(fileTemplate);
    const std::size_t date = fileTemplate.find(kDateConversions, nameStart);
    m_folder = fileTemplate.substr(0, nameStart);
    if (date != std::string::npos) {
        m_prefix = fileTemplate.substr(nameStart, date - nameStart);
        m_suffix = fileTemplate.substr(date + sizeof kDateConversions - 1);
    }
    m_currentFile = m_file.filename();
    removeFilesBeyondLimit();
}

std::string DailyLogSink::fileName() {
    std::lock_guard<std::mutex> lock(mutex_);
    return m_currentFile;
}

void DailyLogSink::sink_it_(const spdlog::details::log_msg& msg) {
    m_file.log(msg);
    std::string current = m_file.filename();
    if (current != m_currentFile) {
        m_currentFile = std::move(current);
        removeFilesBeyondLimit();
    }
}

void DailyLogSink::flush_() { m_file.flush(); }

void DailyLogSink::set_pattern_(const std::string& pattern) { m_file.set_pattern(pattern); }

void DailyLogSink::set_formatter_(std::unique_ptr<spdlog::formatter> formatter) {
    m_file.set_formatter(std::move(formatter));
}

// Keeps the newest m_maxFiles dated files (ISO dates sort by name) and never the one being
// written. Files that do not carry the template's name shape are not ours and stay.
void DailyLogSink::removeFilesBeyondLimit() {
    if (m_maxFiles == 0 || m_prefix.empty()) return;
    std::error_code error;
    std::vector<std::string> dated;
    const fs::path folder = fs::u8path(m_folder.empty() ? "." : m_folder);
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().u8string();
        if (isDatedName(name, m_prefix, m_suffix) && it->is_regular_file(error)) {
            dated.push_back(name);
        }
    }
    if (dated.size() <= m_maxFiles) return;
    std::sort(dated.begin(), dated.end(), std::greater<>());
    const std::string currentName = m_currentFile.substr(folderEnd(m_currentFile));
    for (std::size_t i = m_maxFiles; i < dated.size(); ++i) {
        if (dated[i] != currentName) fs::remove(folder / fs::u8path(dated[i]), error);
    }
}

}  // namespace pellanor::logging
