#include "log/line_formatter.h"

#include <spdlog/pattern_formatter.h>

#include <regex>

namespace pellanor::logging {
namespace {

// spdlog clamps every pad width to this many columns.
constexpr std::size_t kLibraryWidthLimit = 64;
constexpr char kWideMessageFlag = '*';

std::size_t characterCount(spdlog::string_view_t utf8) {
    std::size_t count = 0;
    for (char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    }
    return count;
}

class WideMessageFlag final : public spdlog::custom_flag_formatter {
public:
    explicit WideMessageFlag(std::size_t width) : m_width(width) {}

    void format(const spdlog::details::log_msg& msg, const std::tm&,
                spdlog::memory_buf_t& dest) override {
        dest.append(msg.payload.data(), msg.payload.data() + msg.payload.size());
        const std::size_t length = characterCount(msg.payload);
        for (std::size_t i = length; i < m_width; ++i) dest.push_back(' ');
    }

    std::unique_ptr<custom_flag_formatter> clone() const override {
        return std::make_unique<WideMessageFlag>(m_width);
    }

private:
    std::size_t m_width;
};

}  // namespace

std::unique_ptr<spdlog::formatter> makeLineFormatter(const std::string& pattern) {
    auto formatter = std::make_unique<spdlog::pattern_formatter>();
    static const std::regex wideMessageField("%-([0-9]+)v");
    std::smatch field;
    if (std::regex_search(pattern, field, wideMessageField)) {
        const std::size_t width = std::stoul(field[1].str());
        if (width > kLibraryWidthLimit) {
            formatter->add_flag<WideMessageFlag>(kWideMessageFlag, width);
            formatter->set_pattern(field.prefix().str() + '%' + kWideMessageFlag +
                                   field.suffix().str());
            return formatter;
        }
    }
    formatter->set_pattern(pattern);
    return formatter;
}

}  // namespace pellanor::logging
