// Named manual-reset events shared by the processes of this user: one process sets the event,
// any process may test it (how a starting copy learns that the main window is up).
#pragma once

#include <string>

namespace pellanor::platform {

// Creates the event (default security, manual reset) unless this process already holds it, and
// sets it. This process keeps it, set, until it ends. False when it cannot be created (for
// example a same-named object of another kind exists on Windows, or the POSIX objects folder is
// unusable). Writes no log; blocks briefly.
//
// Windows: CreateEventW + SetEvent. POSIX stand-in: a lock file per name in the per-user objects
// folder (see named_mutex.h), held with a shared lock for the life of the process; the event
// goes with its last holder, as a Windows object goes with its last handle.
bool setNamedEvent(const std::string& name);

// True when the event exists and is set, in this process or any other. Once the event has been
// found, this process keeps it open, so the answer stays true for the rest of this process's
// life even after the process that set it has ended (Windows keeps an object while any handle
// is open). An event not found yet is looked for again on the next call. Writes no log.
//
// Windows: OpenEventW(SYNCHRONIZE) + WaitForSingleObject with a zero time-out.
bool isNamedEventSet(const std::string& name);

}  // namespace pellanor::platform
