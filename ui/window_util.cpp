#include "ui/window_util.h"

#include <algorithm>

#include "log/logger.h"
#include "log/qt_format.h"
#include "ui/main_window.h"
#include "ui/page_urls.h"

namespace pellanor::ui {

WindowUtil& WindowUtil::instance() {
    static WindowUtil* util = new WindowUtil();  // pages may call it until the process ends
    return *util;
}

WindowUtil::WindowUtil() : m_binding(scriptClass().bind(this)) {}

const bridge::ScriptClass& WindowUtil::scriptClass() {
    using bridge::ParamKind;
    static const bridge::ScriptClass table(
        "WindowUtil",
        {bridge::Member{"createWindow",
                        bridge::MemberKind::Method,
                        {ParamKind::Text, ParamKind::Integer, ParamKind::Integer},
                        [](void* self, const bridge::Arguments& a) -> bridge::Result {
                            return static_cast<WindowUtil*>(self)->createWindow(
                                a.text(0), a.integer(1), a.flag(2));
                        }}});
    return table;
}

int WindowUtil::createWindow(const QString& path, int flags, bool showOnLoaded) {
    logging::info("WindowUtil", "create page window. path: {}. show it on loaded: {}", path,
                  showOnLoaded);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto same = std::find_if(m_windows.begin(), m_windows.end(),
                                       [&](const auto& window) { return window->pagePath() == path; });
        if (same != m_windows.end()) m_windows.erase(same);
    }
    std::shared_ptr<TinyWindow> window =
        TinyWindow::create(static_cast<std::uint32_t>(flags) | kWindowDebug);
    window->setShowOnLoaded(showOnLoaded);
    window->setPagePath(path);
    if (window->handle() != 0 && !window->hostSetUp()) window->setUpHost();
    // Registered before the page loads, so its first script already finds the shell it needs.
    if (path == ui::kMainPageUrl) registerMainWindow(window);
    if (path == ui::kTrayPageUrl) registerTrayWindow(window);
    window->load(path);
    std::lock_guard<std::mutex> guard(m_lock);
    m_windows.push_back(window);
    return window->hwnd();
}

std::vector<std::shared_ptr<TinyWindow>> WindowUtil::windows() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_windows;
}

const bridge::ScriptClass& virtualKeyClass() {
    static const bridge::ScriptClass table("VirtualKey", [] {
        static const char* const kFunctionKeys[] = {"F1", "F2", "F3", "F4",  "F5",  "F6",
                                                    "F7", "F8", "F9", "F10", "F11", "F12"};
        std::vector<bridge::Member> keys;
        for (int i = 0; i < 12; ++i) {
            keys.push_back(bridge::property(kFunctionKeys[i], [code = 112 + i] { return code; }));
        }
        keys.push_back(bridge::property("ESC", [] { return 27; }));
        return keys;
    }());
    return table;
}

}  // namespace pellanor::ui
