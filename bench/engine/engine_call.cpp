// Measures the round trip of a synchronous native call from a page: the page calls a native
// method that does nothing, many times, timing each call, and reports the median.
// Usage: engine-call-bench [calls]
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/sdk/sciter_value.h"

namespace {

const SciterApi* api = nullptr;
std::string report;

bool noop(void*, std::uint32_t, const SciterValue*, SciterValue*) { return true; }

bool finish(void*, std::uint32_t argc, const SciterValue* argv, SciterValue*) {
    if (argc > 0) report = sciter::toUtf8(sciter::value::copyOf(argv[0]).toString());
    api->SciterExec(kAppStop, 0, 0);
    return true;
}

std::string pageSource(int calls) {
    return "<!doctype html><script>\n"
           "const times = [];\n"
           "for (let i = 0; i < 50; ++i) Bench.noop();\n"  // warm-up
           "for (let i = 0; i < " +
           std::to_string(calls) +
           "; ++i) {\n"
           "  const start = performance.now(); Bench.noop(); times.push(performance.now() - "
           "start);\n"
           "}\n"
           "times.sort((a, b) => a - b);\n"
           "const at = (q) => times[Math.min(times.length - 1, Math.floor(q * times.length))];\n"
           "Bench.finish(JSON.stringify({calls: times.length, median: at(0.5), p90: at(0.9)}));\n"
           "</script>";
}

std::string page;

std::uint32_t serve(const SciterLoadRequest* request, void*) {
    api->SciterDataReady(request->window, request->url,
                         reinterpret_cast<const std::uint8_t*>(page.data()), page.size());
    return kLoadOk;
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::atoi(argv[1]) : 2000;
    void* library = dlopen("libsciter.so", RTLD_NOW);
    if (!library) {
        std::fprintf(stderr, "cannot load libsciter.so: %s\n", dlerror());
        return 1;
    }
    api = reinterpret_cast<SciterApiEntry>(dlsym(library, "SciterAPI"))();
    sciter::setApi(api);
    const char16_t* args[] = {u"engine-call-bench"};
    api->SciterExec(kAppInit, 1, reinterpret_cast<std::intptr_t>(args));
    api->SciterSetOption(0, kOptionInspectorPort, 0);

    const SciterMethodDef methods[] = {{api->SciterAtomValue("noop"), 0, noop},
                                       {api->SciterAtomValue("finish"), 1, finish}};
    const SciterPassport passport{api->SciterAtomValue("Bench"), methods, 2, nullptr, 0};
    api->SciterSetGlobalAsset(&report, &passport);

    page = pageSource(calls);
    const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    api->SciterSetCallback(window, serve, nullptr);
    api->SciterLoadFile(window, u"this://app/bench.html");
    api->SciterExec(kAppLoop, 0, 0);
    api->SciterExec(kAppShutdown, 0, 0);
    std::printf("%s\n", report.c_str());
    return report.empty() ? 1 : 0;
}
