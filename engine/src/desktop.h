// Desktop facts and the outside-click mouse hook.
#pragma once

#include <cstdint>

#include "engine/sdk/sciter_api.h"

namespace engine {

// 0 when refused, with the reason in `error` (may be null); see SciterHookError.
std::uintptr_t installMouseHook(SciterMouseProc proc, void* data, std::uint32_t* error);
bool removeMouseHook(std::uintptr_t hook);
bool cursorPosition(std::int32_t* x, std::int32_t* y);
std::int32_t monitorCount();
bool monitorWorkArea(std::int32_t x, std::int32_t y, SciterRect* area);

}  // namespace engine
