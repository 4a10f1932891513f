// POSIX: there is no previous installation handler to run.
#include "platform/cleanup_handler.h"

namespace pellanor::platform {

bool purgePreviousInstallations() { return false; }

}  // namespace pellanor::platform
