// The POSIX registry store's files: where the hives live, the parsed hive cache, and the locked,
// atomic rewrite of a hive file.
#pragma once

#include <functional>
#include <string>

#include "platform/posix/reg_file.h"
#include "platform/registry.h"

namespace pellanor::platform::posix::hive {

// $PELLANOR_REGISTRY_DIR, else $XDG_DATA_HOME/Pellanor/registry, else
// ~/.local/share/Pellanor/registry; empty when none of them can be formed.
std::string storeFolder();

// Runs `read` on the hive of `root` as its file holds it now (a missing file is an empty hive),
// under this process's lock of that hive; `read` must not keep references past its return.
// kInvalidData when the file is damaged (see lastFailure()), kAccessDenied when unreadable.
registry::Status read(registry::Root root,
                      const std::function<registry::Status(const reg::KeyNode&)>& read);

// Runs `change` on the hive under the hive's file lock, after reading it afresh, and writes the
// file again when `change` answers kSuccess and sets its flag: temp file, fsync, rename, fsync
// of the folder. A damaged file is never written: kInvalidData. kWriteFault when writing failed
// (the file is then unchanged).
registry::Status modify(registry::Root root,
                        const std::function<registry::Status(reg::KeyNode&, bool&)>& change);

// The reason behind this thread's last kInvalidData or kWriteFault; cleared by a success.
std::string& lastFailure();

}  // namespace pellanor::platform::posix::hive
