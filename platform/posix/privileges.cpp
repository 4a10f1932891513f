// POSIX has no privilege tokens to adjust.
#include "platform/privileges.h"

namespace pellanor::platform {

bool enablePrivilege(const std::string&) { return false; }

}  // namespace pellanor::platform
