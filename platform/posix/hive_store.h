// The POSIX registry store's files: where the hives live, the parsed hive cache, and the locked
// writes to a hive file.
//
// Every write leaves the file ending in a blank line: a compacted file ends in one, and each
// appended record is the mark line ";Pellanor change" (a comment to the editor), one section (a
// key line, at most one value line with its continuation lines) and a blank line. No record holds
// a blank line of its own, as names and strings with line breaks are never written as text. So
// the end of the last complete record is the file's last blank line, and a write cut short by a
// crash can only have left text past it that starts with the mark, or a part of it, possibly
// followed by zero bytes the data never reached. Such text is left out when the hive is read,
// unless it is whole lines that parse; the notice handler (registry.h) and lastFailure() say so,
// and the next writer compacts the file. Text past the last blank line that does not start with
// the mark is the file's own (a hand-written last section without its final line break) and is
// read as usual; damage anywhere makes the file refused as before.
//
// Only plain files are hives and lock files: a FIFO, device or folder there is refused without
// waiting on it, and so is a symbolic link. Following a link would put the hive outside the
// folder whose lock file serialises its writers and whose rename makes a rewrite atomic, so two
// stores linking one file would lose each other's changes; refusing it keeps reads and writes
// alike, and the link is never replaced.
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
// kInvalidData when the file is damaged (see lastFailure()), kAccessDenied when unreadable or
// not a plain file.
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

// Where notices of tails left out of a file go (registry::setNoticeHandler).
void setNoticeHandler(registry::NoticeHandler handler);

// The reason behind this thread's last kInvalidData or kWriteFault; after a success, what that
// call left out of a file that ends in a record cut short, else empty.
std::string& lastFailure();

}  // namespace pellanor::platform::posix::hive
