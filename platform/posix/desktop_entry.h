// The freedesktop desktop-entry format, as far as the POSIX stand-in writes it: shell links are
// launcher files, and the logon task is an autostart entry.
#pragma once

#include <sys/types.h>

#include <string>

namespace pellanor::platform::posix {

// One Exec argument in double quotes, with the backslash escapes quoting needs and every '%'
// doubled, so that it is never read as a field code.
std::string quoteExecArgument(const std::string& text);

// Every '%' doubled: arguments that are written unquoted.
std::string doublePercents(const std::string& text);

// A value with the format's string escapes (\\ \n \t \r, and \s for a leading blank), applied on
// top of the Exec quoting; unescapeValue undoes them.
std::string escapeValue(const std::string& text);
std::string unescapeValue(const std::string& text);

// Writes `text` to `path` with permissions `mode` through a file beside it that is renamed over
// it, so that a reader never sees half a file and a symbolic link at `path` is replaced rather
// than written through. False when any step fails; the file beside it is then removed. Blocks.
bool replaceFile(const std::string& path, const std::string& text, mode_t mode);

}  // namespace pellanor::platform::posix
