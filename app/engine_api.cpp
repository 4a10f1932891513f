#include "app/engine_api.h"

#include <cstdlib>

#include "engine/sdk/sciter_value.h"
#include "platform/dynamic_library.h"

namespace pellanor::app {

namespace {

[[noreturn]] void fail(void* library) {
    if (library) platform::freeLibrary(library);
    std::exit(-1);
}

const SciterApi* loadEngineApi() {
    void* library = platform::loadLibrary(platform::sharedLibraryFileName(kEngineLibrary));
    if (!library) fail(nullptr);
    auto entry = reinterpret_cast<SciterApiEntry>(platform::librarySymbol(library, kEngineEntry));
    if (!entry) fail(library);
    const SciterApi* api = entry();
    bool matches = api != nullptr;
    for (std::uint32_t component = 0; matches && component < 4; ++component) {
        matches = api->SciterVersion(component) == kEngineVersion[component];
    }
    if (!matches) {
        platform::showErrorMessage("Sciter version mismatch, quiting", "Error");
        fail(library);
    }
    sciter::setApi(api);
    return api;
}

}  // namespace

const SciterApi* engineApi() {
    static const SciterApi* const api = loadEngineApi();
    return api;
}

}  // namespace pellanor::app
