// The program's own command-line arguments, as text that survives any code page.
#pragma once

#include <string>
#include <vector>

namespace pellanor::platform {

// The arguments the program was started with, its own name first, each as UTF-8. Does not
// block.
//
// Windows: the process's wide command line split by CommandLineToArgvW; `argc` and `argv` are
// not used, as the C runtime made them through the ANSI code page, which turns every character
// it lacks into '?'. Should the split fail, `argv` is taken as ANSI text.
// POSIX: `argv` as given; its bytes are the caller's UTF-8 already.
std::vector<std::string> programArguments(int argc, char** argv);

}  // namespace pellanor::platform
