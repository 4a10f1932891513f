// The POSIX registry store's files: where the hives live, the parsed hive cache, and the locked
// writes to a hive file.
//
// Every write leaves the file ending in a blank line: a compacted file ends in one, and each
// appended record is one section (a key line, at most one value line with its continuation
// lines) followed by one. No record holds a blank line of its own, as names and strings with
// line breaks are never written as text. So the end of the last complete record is the file's
// last blank line, and a write cut short by a crash can only have left text past it. When that
// text has a record's shape and is incomplete (its last line has no line break: cut anywhere,
// inside a UTF-16 unit too, or padded with zero bytes) or does not parse, it is left out when
// the hive is read (lastFailure() says so) and the next writer compacts the file. Past-the-blank
// text of any other shape, or whole lines that parse (a hand-written file may end without a
// blank line), is read as usual; damage anywhere else makes the file refused as before.
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

// Runs `change` on the hive under the hive's file lock, after reading it afresh. `change` answers
// kSuccess and fills `record` (see reg::valueSetRecord and its kin) when it changed the hive;
// the record is then appended to the file, not synced: a crash may lose the last changes, never
// part of one. A file that is new, not in the store's own form, ends in a record cut short, or
// whose appended records have grown past its compact size is instead written whole: temp file,
// fsync, rename, fsync of the folder. A damaged file is never written: kInvalidData. kWriteFault
// when writing failed (the file is then as it was).
registry::Status modify(registry::Root root,
                        const std::function<registry::Status(reg::KeyNode&, std::string&)>& change);

// The reason behind this thread's last kInvalidData or kWriteFault; after a success, what that
// call left out of a file that ends in a record cut short, else empty.
std::string& lastFailure();

}  // namespace pellanor::platform::posix::hive
