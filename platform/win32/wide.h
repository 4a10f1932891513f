// UTF-8 <-> UTF-16 for the Win32 backend: the seam speaks UTF-8, Windows speaks UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace pellanor::platform::win32 {

// Invalid sequences become U+FFFD rather than failing the call.
std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view utf16);

}  // namespace pellanor::platform::win32
