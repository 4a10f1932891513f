// Privileges of this process's token.
#pragma once

#include <string>

namespace pellanor::platform {

// Enables the named privilege ("SeBackupPrivilege") in the process token. True only when the
// adjustment succeeded and the account holds the privilege. POSIX has no such tokens: false.
bool enablePrivilege(const std::string& name);

}  // namespace pellanor::platform
