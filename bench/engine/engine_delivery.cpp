// Measures how long a page function takes to receive a report from a worker thread, as a scan
// delivers one: {type: "progress", data: <text>} with texts of about 1 KB, 1 MB and 12 MB (the
// JSON of 60,000 file records, indented like the scanner's). For each size it prints the time
// from the native call to the page's callback running, the whole round trip, the longest stall
// of the UI thread (a 4 ms timer's largest gap) and the longest task of the page around the
// delivery. Apart from the deliveries it times what the old way of delivering costs: turning
// the arguments into a script (as the engine did, on the caller's thread) and the page compiling
// and running a script holding the text as a literal.
// Usage: engine-delivery-bench [rounds]
#include <dlfcn.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/sdk/sciter_value.h"

namespace {

const SciterApi* api = nullptr;
SciterWindow mainWindow = 0;
sciter::value* callback = nullptr;
std::thread worker;
int rounds = 5;

std::mutex ticksMutex;
std::vector<double> ticks;  // UI-thread timer ticks, ms since the epoch

double nowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The records a large-file scan reports, as JSON text with names that need escaping.
std::u16string reportText(std::size_t bytes) {
    std::u16string text = u"{\n    \"list\": [\n";
    for (int i = 0; text.size() < bytes; ++i) {
        const std::u16string n = QString::number(i).toStdU16String();
        if (i > 0) text += u",\n";
        text +=
            u"        {\n            \"modifiedTime\": \"2024-05-01 10:00\",\n"
            u"            \"name\": \"Vid\u00e9o \\\"" +
            n +
            u"\\\".mp4\",\n"
            u"            \"path\": \"C:\\\\Users\\\\Alex\\\\\u30d3\u30c7\u30aa\\\\folder" +
            n + u"\\\\Vid\u00e9o \\\"" + n + u"\\\".mp4\",\n            \"size\": " + n +
            u"04857600\n        }";
    }
    return text + u"\n    ]\n}\n";
}

struct Delivery {
    double emitted, arrived, returned;
};

double maxGap(double from, double to) {
    std::lock_guard<std::mutex> lock(ticksMutex);
    double last = from;
    double gap = 0;
    for (double t : ticks) {
        if (t < from) continue;
        if (t > to + 20) break;
        gap = std::max(gap, t - last);
        last = t;
    }
    return gap;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// What the engine did before texts travelled apart: the arguments as JSON inside a script.
double scriptBuildMs(const std::u16string& text) {
    const auto start = std::chrono::steady_clock::now();
    const QJsonArray arguments{
        QJsonObject{{"m", QJsonArray{QJsonArray{"type", "progress"},
                                     QJsonArray{"data", QString::fromStdU16String(text)}}}}};
    const QString script =
        QStringLiteral("window.__engine && window.__engine.invoke(%1, %2, %3)")
            .arg(QStringLiteral("\"1-2\""), QString::number(1),
                 QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Compact)));
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return script.isEmpty() ? -1 : ms;
}

void run() {
    struct Size {
        const char* label;
        std::size_t bytes;
    };
    const Size sizes[] = {{"1 KB", 1024}, {"1 MB", 1024 * 1024}, {"12 MB", 12 * 1000 * 1000}};
    std::printf("{\"sizes\": [");
    bool first = true;
    for (const Size& size : sizes) {
        const std::u16string text = reportText(size.bytes);
        std::vector<Delivery> deliveries;
        std::vector<double> latency, roundTrip, stall;
        std::string tasks;
        for (int r = 0; r < rounds; ++r) {
            sciter::value event = sciter::value::map();
            event.set(u"type", sciter::value(u"progress"));
            event.set(u"data", sciter::value(text));
            const double emitted = nowMs();
            const sciter::value answer = callback->call({event});
            const double returned = nowMs();
            const double arrived = answer.getFloat(0);
            if (answer.getInt(-1) == 0) std::fprintf(stderr, "the page saw a different text\n");
            latency.push_back(arrived - emitted);
            roundTrip.push_back(returned - emitted);
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            stall.push_back(maxGap(emitted, returned));
            deliveries.push_back({emitted, arrived, returned});
        }
        // The page's longest task that overlaps a delivery of this size.
        sciter::value ask = sciter::value::map();
        ask.set(u"type", sciter::value(u"tasks"));
        sciter::value spans = sciter::value::array();
        for (const Delivery& d : deliveries) {
            spans.append(sciter::value(d.emitted));
            spans.append(sciter::value(d.returned));
        }
        ask.set(u"spans", spans);
        const double longest = callback->call({ask}).getFloat(0);
        sciter::value compile = sciter::value::map();
        compile.set(u"type", sciter::value(u"literal"));
        const double literal = callback->call({compile}).getFloat(0);
        std::printf(
            "%s{\"size\": \"%s\", \"chars\": %zu, \"latency\": %.2f, \"roundTrip\": %.2f, "
            "\"uiStall\": %.1f, \"pageTask\": %.1f, \"scriptBuild\": %.2f, "
            "\"literal\": %.2f}",
            first ? "" : ", ", size.label, text.size(), median(latency), median(roundTrip),
            median(stall), longest, scriptBuildMs(text), literal);
        first = false;
    }
    std::printf("]}\n");
    std::fflush(stdout);
    sciter::value end = sciter::value::map();
    end.set(u"type", sciter::value(u"end"));
    callback->call({end});
}

bool subscribe(void*, std::uint32_t argc, const SciterValue* argv, SciterValue*) {
    if (argc < 1) return false;
    callback = new sciter::value(sciter::value::copyOf(argv[0]));
    worker = std::thread(run);
    return true;
}

bool finish(void*, std::uint32_t, const SciterValue*, SciterValue*) {
    api->SciterExec(kAppStop, 0, 0);
    return true;
}

// The callback answers the time it ran (ms since the epoch) or 0 when the text was not the one
// sent; "tasks" asks for the longest task overlapping the given spans, "literal" for the cost of
// compiling and running the last text as a string literal in a script.
const char kPage[] = R"(<!doctype html><script>
const tasks = [];
new PerformanceObserver((list) => {
    for (const e of list.getEntries()) tasks.push([performance.timeOrigin + e.startTime, e.duration]);
}).observe({type: 'longtask', buffered: true});
let last = '';
Bench.subscribe((event) => {
    const at = performance.timeOrigin + performance.now();
    if (event.type === 'progress') {
        const ok = event.data.startsWith('{\n    "list"') && event.data.endsWith(']\n}\n');
        last = event.data;
        return ok ? at : 0;
    }
    if (event.type === 'tasks') {
        let longest = 0;
        for (let i = 0; i < event.spans.length; i += 2) {
            for (const [start, duration] of tasks) {
                if (start < event.spans[i + 1] && start + duration > event.spans[i]) longest = Math.max(longest, duration);
            }
        }
        return longest;
    }
    if (event.type === 'literal') {
        const script = 'window.__literal = [{"m":[["type","progress"],["data",' + JSON.stringify(last) + ']]}]';
        const start = performance.now();
        (0, eval)(script);
        return performance.now() - start;
    }
    setTimeout(() => Bench.finish(), 0);
    return 0;
});
</script>)";

std::uint32_t serve(const SciterLoadRequest* request, void*) {
    api->SciterDataReady(request->window, request->url,
                         reinterpret_cast<const std::uint8_t*>(kPage), sizeof kPage - 1);
    return kLoadOk;
}

void tick(SciterWindow window, std::uintptr_t) {
    {
        std::lock_guard<std::mutex> lock(ticksMutex);
        ticks.push_back(nowMs());
    }
    api->SciterSetTimer(window, 1, 4, tick);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) rounds = std::max(1, std::atoi(argv[1]));
    void* library = dlopen("libsciter.so", RTLD_NOW);
    if (!library) {
        std::fprintf(stderr, "cannot load libsciter.so: %s\n", dlerror());
        return 1;
    }
    api = reinterpret_cast<SciterApiEntry>(dlsym(library, "SciterAPI"))();
    sciter::setApi(api);
    const char16_t* args[] = {u"engine-delivery-bench"};
    api->SciterExec(kAppInit, 1, reinterpret_cast<std::intptr_t>(args));
    api->SciterSetOption(0, kOptionInspectorPort, 0);

    const SciterMethodDef methods[] = {{api->SciterAtomValue("subscribe"), 1, subscribe},
                                       {api->SciterAtomValue("finish"), 0, finish}};
    const SciterPassport passport{api->SciterAtomValue("Bench"), methods, 2, nullptr, 0};
    static int object = 0;
    api->SciterSetGlobalAsset(&object, &passport);

    mainWindow = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    api->SciterSetCallback(mainWindow, serve, nullptr);
    api->SciterSetTimer(mainWindow, 1, 4, tick);
    api->SciterLoadFile(mainWindow, u"this://app/bench.html");
    api->SciterExec(kAppLoop, 0, 0);
    if (worker.joinable()) worker.join();
    delete callback;
    api->SciterExec(kAppShutdown, 0, 0);
    return 0;
}
