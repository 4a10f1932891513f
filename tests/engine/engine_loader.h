// Loads the engine library from the build tree by its full path, as the program loads it from
// its own folder, and installs its table for the value wrapper.
#pragma once

#include <dlfcn.h>

#include <string>

#include "engine/sdk/sciter_value.h"

namespace pellanor::test_support {

inline const SciterApi* loadEngine() {
    static const SciterApi* table = []() -> const SciterApi* {
        void* library = dlopen(PELLANOR_ENGINE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!library) return nullptr;
        auto entry = reinterpret_cast<SciterApiEntry>(dlsym(library, "SciterAPI"));
        if (!entry) return nullptr;
        const SciterApi* api = entry();
        sciter::setApi(api);
        return api;
    }();
    return table;
}

inline std::u16string u16(const std::string& text) {
    return std::u16string(text.begin(), text.end());  // ASCII test texts
}

}  // namespace pellanor::test_support
