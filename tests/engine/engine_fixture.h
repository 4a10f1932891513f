// A running engine for window tests: init once per process, a packed archive of test pages
// served through the host callback, and a loop that always ends (a watchdog timer stops it).
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <functional>
#include <map>
#include <vector>

#include "engine/src/archive.h"
#include "tests/engine/engine_loader.h"

namespace pellanor::test_support {

inline constexpr int kWatchdogExitCode = -99;

// A page whose body is one script.
inline QByteArray page(const QByteArray& script) {
    return "<!doctype html><html><body><script>\n" + script + "\n</script></body></html>";
}

// Shuts the engine down once every test of the executable has run. Left running, QtWebEngine's
// threads would meet the static destructors of the exiting process and crash it.
class EngineShutdown final : public ::testing::Environment {
public:
    void TearDown() override {
        if (const SciterApi* api = sciter::api()) api->SciterExec(kAppShutdown, 0, 0);
    }
};

inline ::testing::Environment* const kEngineShutdown =
    ::testing::AddGlobalTestEnvironment(new EngineShutdown);

class EngineFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        api = loadEngine();
        ASSERT_NE(api, nullptr) << dlerror();
        static bool initialised = false;
        if (!initialised) {
            const char16_t* argv[] = {u"engine_tests", u"LANG=en-us"};
            api->SciterExec(kAppInit, 2, reinterpret_cast<std::intptr_t>(argv));
            api->SciterSetOption(0, kOptionInspectorPort, 0);
            initialised = true;
        }
    }

    // Serves `pages` (path under this://app/ to content) to `window` through the host callback.
    void servePages(SciterWindow window, const std::map<QString, QByteArray>& pages) {
        std::vector<std::pair<QString, QByteArray>> items(pages.begin(), pages.end());
        m_packed = engine::packArchive(items);
        m_archive = api->SciterOpenArchive(
            reinterpret_cast<const std::uint8_t*>(m_packed.constData()), m_packed.size());
        ASSERT_NE(m_archive, 0u);
        api->SciterSetCallback(window, &EngineFixture::loadFromArchive, this);
    }

    // Runs the loop until the main window closes or kAppStop; stops with kWatchdogExitCode
    // after `timeoutMs`.
    std::intptr_t runLoop(SciterWindow mainWindow, int timeoutMs = 20000) {
        api->SciterSetTimer(
            mainWindow, kWatchdogTimer, timeoutMs,
            [](SciterWindow, std::uintptr_t) { api->SciterExec(kAppStop, kWatchdogExitCode, 0); });
        return api->SciterExec(kAppLoop, 0, 0);
    }

    void TearDown() override {
        if (m_archive) api->SciterCloseArchive(m_archive);
    }

    static std::uint32_t loadFromArchive(const SciterLoadRequest* request, void* param) {
        auto* self = static_cast<EngineFixture*>(param);
        const std::u16string url(request->url);
        const std::u16string prefix = u"this://app/";
        if (url.compare(0, prefix.size(), prefix) != 0) return kLoadDefault;
        const std::uint8_t* data = nullptr;
        std::size_t length = 0;
        if (!api->SciterGetArchiveItem(self->m_archive, url.c_str() + prefix.size(), &data,
                                       &length)) {
            return kLoadDefault;
        }
        api->SciterDataReady(request->window, request->url, data, length);
        return kLoadOk;
    }

    static inline const SciterApi* api = nullptr;
    static constexpr std::uintptr_t kWatchdogTimer = 0x5A5A;

private:
    QByteArray m_packed;
    std::uintptr_t m_archive = 0;
};

// A script-visible object for tests: methods are std::functions, published by passport.
class TestObject {
public:
    using Method = std::function<sciter::value(const std::vector<sciter::value>&)>;

    explicit TestObject(const char* name) : m_name(name) {}
    void method(const char* name, std::uint32_t params, Method body) {
        m_bodies.push_back(std::move(body));
        m_names.push_back(name);
        m_params.push_back(params);
    }
    void property(const char* name, Method getter) {
        m_propertyNames.push_back(name);
        m_getters.push_back(std::move(getter));
    }
    const SciterPassport* passport(const SciterApi* api);

private:
    template <std::size_t N>
    static bool entry(void* object, std::uint32_t argc, const SciterValue* argv,
                      SciterValue* result) {
        auto* self = static_cast<TestObject*>(object);
        std::vector<sciter::value> args;
        for (std::uint32_t i = 0; i < argc; ++i) args.push_back(sciter::value::copyOf(argv[i]));
        sciter::value answer = self->m_bodies.at(N)(args);
        sciter::api()->ValueCopy(result, answer.raw());
        return true;
    }
    template <std::size_t N>
    static bool getter(void* object, SciterValue* result) {
        auto* self = static_cast<TestObject*>(object);
        sciter::value answer = self->m_getters.at(N)({});
        sciter::api()->ValueCopy(result, answer.raw());
        return true;
    }
    template <std::size_t... I>
    static constexpr SciterMethodEntry entryAt(std::size_t n, std::index_sequence<I...>) {
        constexpr SciterMethodEntry table[] = {&entry<I>...};
        return table[n];
    }
    template <std::size_t... I>
    static constexpr SciterPropertyGetter getterAt(std::size_t n, std::index_sequence<I...>) {
        constexpr SciterPropertyGetter table[] = {&getter<I>...};
        return table[n];
    }

    const char* m_name;
    std::vector<Method> m_bodies;
    std::vector<const char*> m_names;
    std::vector<std::uint32_t> m_params;
    std::vector<const char*> m_propertyNames;
    std::vector<Method> m_getters;
    std::vector<SciterMethodDef> m_methods;
    std::vector<SciterPropertyDef> m_properties;
    SciterPassport m_passport{};
};

inline const SciterPassport* TestObject::passport(const SciterApi* api) {
    constexpr std::size_t kMax = 16;
    m_methods.clear();
    m_properties.clear();
    for (std::size_t i = 0; i < m_names.size() && i < kMax; ++i) {
        m_methods.push_back(SciterMethodDef{api->SciterAtomValue(m_names[i]), m_params[i],
                                            entryAt(i, std::make_index_sequence<kMax>())});
    }
    for (std::size_t i = 0; i < m_propertyNames.size() && i < kMax; ++i) {
        m_properties.push_back(SciterPropertyDef{api->SciterAtomValue(m_propertyNames[i]),
                                                 getterAt(i, std::make_index_sequence<kMax>())});
    }
    m_passport = SciterPassport{api->SciterAtomValue(m_name), m_methods.data(),
                                static_cast<std::uint32_t>(m_methods.size()), m_properties.data(),
                                static_cast<std::uint32_t>(m_properties.size())};
    return &m_passport;
}

// Gives `object` the method report(text) that pages end with: the text goes to `*sink` and the
// loop stops, so the test reads what the page saw as soon as it has said it.
inline void addStoppingReport(TestObject* object, QString* sink) {
    object->method("report", 1, [sink](const std::vector<sciter::value>& args) {
        *sink = QString::fromStdU16String(args.at(0).toString());
        sciter::api()->SciterExec(kAppStop, 0, 0);
        return sciter::value();
    });
}

}  // namespace pellanor::test_support
