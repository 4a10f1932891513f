// The formatter behind the log line pattern.
#pragma once

#include <spdlog/formatter.h>

#include <memory>
#include <string>

namespace pellanor::logging {

// An spdlog pattern formatter for `pattern`, except that a left-aligned message field wider than
// spdlog's 64-column limit ("%-300v") is padded to its full width. The message is never cut;
// width is counted in characters, not bytes, so UTF-8 text lines up.
std::unique_ptr<spdlog::formatter> makeLineFormatter(const std::string& pattern);

}  // namespace pellanor::logging
