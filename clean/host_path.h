// The host form of the Windows-shaped paths the junk rules are written in.
#pragma once

#include <QString>

namespace pellanor {

// Identity on Windows; elsewhere backslashes become slashes and a drive letter becomes that
// drive's root (see platform/paths.h). Does not touch the file system.
QString hostPath(const QString& windowsPath);

}  // namespace pellanor
