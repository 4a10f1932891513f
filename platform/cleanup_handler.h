// The system's disk-cleanup handler for previous Windows installations.
#pragma once

namespace pellanor::platform {

// Runs the handler on drive C: initialise it, ask how much space it can free and purge exactly
// that. True only when the purge call succeeded; false when COM, the handler or its
// initialisation is unavailable, or when it reports nothing to free. POSIX: always false.
// Blocks for as long as the purge takes (minutes on a large folder); initialises COM on the
// calling thread for the duration.
bool purgePreviousInstallations();

}  // namespace pellanor::platform
