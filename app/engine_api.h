// The engine's API table, loaded from the engine library on first use. Every engine call of the
// program goes through it.
#pragma once

#include "engine/sdk/sciter_api.h"

namespace pellanor::app {

inline constexpr char kEngineLibrary[] = "sciter";
inline constexpr char kEngineEntry[] = "SciterAPI";
// The engine version the program was built against, component by component.
inline constexpr std::uint32_t kEngineVersion[] = {6, 0, 4, 9};

// Loads the library from the executable's own folder (by name only when the executable's path is
// unknown), takes its table and checks the version, once for the process. Ends the process with -1 when the library or its entry is
// missing (no message) or the version differs ("Sciter version mismatch, quiting").
const SciterApi* engineApi();

}  // namespace pellanor::app
