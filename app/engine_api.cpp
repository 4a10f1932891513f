// Loading the engine library and checking that it is the version the program was built for.
#include "app/engine_api.h"

#include <cstdlib>
#include <string>

#include "engine/sdk/sciter_value.h"
#include "platform/dynamic_library.h"
#include "platform/executable.h"

namespace pellanor::app {

namespace {

[[noreturn]] void fail(void* library) {
    if (library) platform::freeLibrary(library);
    std::exit(-1);
}

// The engine beside the executable, by its full path. A bare name would let a library of the
// same name found earlier on the search path (LD_LIBRARY_PATH, or PATH on Windows) win, and the
// sanitizers' dlopen ignores the executable's run path altogether.
std::string engineLibraryPath() {
    const std::string fileName = platform::sharedLibraryFileName(kEngineLibrary);
    const std::string executable = platform::executablePath();
    const std::size_t separator = executable.find_last_of("/\\");
    if (separator == std::string::npos) return fileName;  // the system cannot tell: search
    return executable.substr(0, separator + 1) + fileName;
}

const SciterApi* loadEngineApi() {
    void* library = platform::loadLibrary(engineLibraryPath());
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
