// Facts about this process that pages read: its arguments, command line, folder and language.
#pragma once

#include <QString>

#include <string>
#include <vector>

namespace pellanor::system {

// The program's own arguments as it was started, its path first, kept for the life of the
// process. Set once, at entry and before anything reads them (the program entry and
// pellanor-cli do); the engine keeps pointers into this list.
void setProgramArguments(std::vector<std::u16string> arguments);
const std::vector<std::u16string>& programArguments();

// The `language` script method: the first of the system locale's UI languages (such as
// "zh-CN"), unless a program argument holds a LANG=xx-yy token: the first such token wins.
// Logs both, with the tag "LANG".
QString language();

// The `arguments` script method: the Qt application's argument list joined with single blanks
// (the program's name alone in the program, which gives Qt nothing else; empty without a Qt
// application object).
QString arguments();

// The `getCommandLine` script method: the process command line (platform::processCommandLine).
QString getCommandLine();

// The `getProcessFullDir` script method: the running executable's folder without a trailing
// separator; empty when the executable's path is unknown or names no folder.
QString getProcessFullDir();

}  // namespace pellanor::system
