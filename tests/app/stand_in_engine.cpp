// An engine library that answers the version 6.0.4.8: the program must refuse it.
#include <cstdint>

#include "engine/sdk/sciter_api.h"

namespace {

std::uint32_t version(std::uint32_t component) {
    static const std::uint32_t parts[] = {6, 0, 4, 8};
    return component < 4 ? parts[component] : 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const SciterApi* SciterAPI() {
    static const SciterApi table = [] {
        SciterApi api{};
        api.version = kSciterApiLayout;
        api.SciterVersion = &version;
        return api;
    }();
    return &table;
}
