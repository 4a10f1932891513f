// What the command line asks the program to be: the everyday program, or its installer or
// uninstaller. Only these two words are read here; every argument still reaches the pages
// unchanged (LANG=xx-yy among them).
#pragma once

#include <QString>

#include <string>
#include <vector>

namespace pellanor::app {

enum class StartMode { Normal, Install, Uninstall };

inline constexpr char kInstallArgument[] = "--install";
inline constexpr char kUninstallArgument[] = "--uninstall";

// The mode the first of "--install" and "--uninstall" (any letter case) among `arguments` asks
// for; Normal when neither is there. The first entry is the program's path and is skipped: a
// folder named "--install" is not a request.
StartMode startModeOf(const std::vector<std::u16string>& arguments);

// The page the first window opens: the loading page, which then opens the main page, or the
// installer or uninstaller page in its place.
QString firstPageUrl(StartMode mode);

// Whether this copy takes part in the one-copy-at-a-time rule. The installer and uninstaller
// stand outside it: the uninstaller must reach a running copy to ask it to quit, and the copy
// the installer starts at the end must not be taken for a second installer.
bool takesPartInSingleInstance(StartMode mode);

}  // namespace pellanor::app
