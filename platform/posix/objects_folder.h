// The per-user folder that holds the POSIX stand-ins of named kernel objects (mutex lock files,
// the broadcast sockets). Defined in named_mutex.cpp; used only inside the POSIX backend.
#pragma once

#include <string>

namespace pellanor::platform::posix {

// The folder, checked to be a real folder (not a link), owned by us and closed to others.
// `create`: made (mode 0700) when missing. Empty when it is missing, unsafe or cannot be made.
// Order: $PELLANOR_OBJECTS_DIR, $XDG_RUNTIME_DIR/pellanor-objects, /tmp/pellanor-objects-<uid>.
std::string objectsFolder(bool create);

// `subfolder` inside objectsFolder, with the same checks.
std::string objectsSubfolder(const std::string& subfolder, bool create);

// A file name for an object name: letters, digits, '-' and '_' stay, every other byte becomes
// "%XX", so distinct names never share a file and no name can climb out of the folder.
std::string objectFileName(const std::string& name);

}  // namespace pellanor::platform::posix
