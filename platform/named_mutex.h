// Named mutexes shared between processes of this user: the single-instance test of the program.
#pragma once

#include <string>

namespace pellanor::platform {

enum class MutexCreation { Created, AlreadyExists, Failed };

// Creates the named mutex (default security, not owned). Created: this process now holds the
// object until it ends (the handle is deliberately never closed). AlreadyExists: another holder
// exists, this process included (a second call with the same name says so); this process's new
// handle is closed again. Failed: creation failed (for example a same-named object of another
// type exists on Windows, or the POSIX objects folder is unusable). Writes no log; blocks briefly.
//
// Windows: CreateMutexW. POSIX stand-in: a lock file per name in the per-user objects folder
// ($PELLANOR_OBJECTS_DIR, else $XDG_RUNTIME_DIR/pellanor-objects, else
// /tmp/pellanor-objects-<uid>, which must be ours and closed to others), write-locked for the
// life of the process; a crashed holder releases it with its death.
MutexCreation createNamedMutex(const std::string& name);

// True when some process, this one included, holds a mutex of that name (Windows: OpenMutexW
// with SYNCHRONIZE succeeds; the handle is closed again). Creates nothing; writes no log.
bool namedMutexExists(const std::string& name);

}  // namespace pellanor::platform
