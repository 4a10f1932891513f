// UTF-8 <-> UTF-16 without the OS: the registry's stored strings are UTF-16LE on every backend,
// and the POSIX hive files are UTF-16 text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pellanor::platform::utf16 {

// Invalid sequences and lone surrogates become U+FFFD rather than failing.
std::u16string fromUtf8(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

// The number of UTF-16 units `utf8` takes (each invalid byte counts as one U+FFFD).
std::size_t unitCount(std::string_view utf8);

}  // namespace pellanor::platform::utf16
