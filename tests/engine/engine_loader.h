// Loads the engine library by name, as the program does, and installs its table for the value
// wrapper. The test executables carry the library's folder in their run path.
#pragma once

#include <dlfcn.h>

#include <string>

#include "engine/sdk/sciter_value.h"

namespace pellanor::test_support {

inline const SciterApi* loadEngine() {
    static const SciterApi* table = []() -> const SciterApi* {
        void* library = dlopen("libsciter.so", RTLD_NOW | RTLD_LOCAL);
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
