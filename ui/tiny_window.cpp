#include "ui/tiny_window.h"

#include "bridge/script_class.h"
#include "engine/sdk/sciter_value.h"
#include "log/logger.h"
#include "ui/page_resources.h"

namespace pellanor::ui {

namespace {

using bridge::Arguments;
using bridge::Member;
using bridge::MemberKind;
using bridge::ParamKind;
using bridge::Result;

TinyWindow& self(void* object) { return *static_cast<TinyWindow*>(object); }

const bridge::ScriptClass& windowClass() {
    static const bridge::ScriptClass table(
        "TinyWindow",
        {
            Member{"hideFromTaskBar",
                   MemberKind::Method,
                   {},
                   [](void* object, const Arguments&) -> Result {
                       return self(object).hideFromTaskBar();
                   }},
            Member{"hwnd",
                   MemberKind::Method,
                   {},
                   [](void* object, const Arguments&) -> Result { return self(object).hwnd(); }},
            Member{"setTitle",
                   MemberKind::Method,
                   {ParamKind::Text},
                   [](void* object, const Arguments& arguments) -> Result {
                       self(object).setTitle(arguments.text(0));
                       return {};
                   }},
            Member{"showOnLoaded",
                   MemberKind::Property,
                   {},
                   [](void* object, const Arguments&) -> Result {
                       return self(object).showOnLoaded();
                   }},
        });
    return table;
}

constexpr std::uintptr_t kLifetimeHook = 0x7469;  // this window's own hook id

}  // namespace

std::shared_ptr<TinyWindow> TinyWindow::create(std::uint32_t flags) {
    const SciterWindow handle = sciter::api()->SciterCreateWindow(flags, nullptr, 0);
    std::shared_ptr<TinyWindow> window(new TinyWindow(handle));
    if (handle != 0) {
        window->m_selfWhileOpen = window;
        sciter::api()->SciterHookAdd(handle, &TinyWindow::onMessage, kLifetimeHook, window.get());
        sciter::api()->SciterSetWindowAsset(handle, windowClass().bind(window.get()),
                                            windowClass().passport());
        window->setUpHost();
    }
    return window;
}

TinyWindow::TinyWindow(SciterWindow handle) : m_handle(handle) {}

TinyWindow::~TinyWindow() {
    if (m_handle != 0 && sciter::api()->SciterIsWindow(m_handle)) {
        sciter::api()->SciterHookRemove(m_handle, &TinyWindow::onMessage, kLifetimeHook);
    }
}

bool TinyWindow::setUpHost() {
    if (m_handle == 0) return false;
    if (m_hostSetUp) return true;
    const SciterApi* api = sciter::api();
    api->SciterSetCallback(m_handle, &TinyWindow::onLoadRequest, this);
    api->SciterWindowAttachEventHandler(m_handle, &TinyWindow::onPageEvent, this);
    m_hostSetUp = true;
    return true;
}

bool TinyWindow::load(const QString& url) {
    return sciter::api()->SciterLoadFile(m_handle, url.toStdU16String().c_str());
}

bool TinyWindow::expand() {
    return sciter::api()->SciterWindowCommand(m_handle, kWindowSetState, kWindowStateShown);
}

bool TinyWindow::hideFromTaskBar() {
    logging::info("TinyWindow", "hide from taskbar");
    const SciterApi* api = sciter::api();
    api->SciterSetToolWindow(m_handle, true);
    // Shown and hidden again, so that the desktop takes the new style before the page shows it.
    api->SciterShowWindow(m_handle, kShowShow);
    api->SciterShowWindow(m_handle, kShowHide);
    return true;
}

void TinyWindow::setTitle(const QString& title) {
    sciter::api()->SciterSetTitle(m_handle, title.toStdU16String().c_str());
}

std::uint32_t TinyWindow::onLoadRequest(const SciterLoadRequest* request, void*) {
    const QString url = QString::fromUtf16(request->url);
    QByteArray bytes;
    const QString item = archiveItemPath(url);
    if (!item.isEmpty()) {
        const std::uint8_t* data = nullptr;
        std::size_t length = 0;
        if (uiArchive() == 0 || !sciter::api()->SciterGetArchiveItem(
                                    uiArchive(), item.toStdU16String().c_str(), &data, &length)) {
            return kLoadDefault;
        }
        sciter::api()->SciterDataReady(request->window, request->url, data, length);
        return kLoadOk;
    }
    if (const auto key = resourceKey(url)) bytes = loadResource(*key);
    if (bytes.isEmpty()) return kLoadDefault;
    sciter::api()->SciterDataReady(request->window, request->url,
                                   reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size()));
    return kLoadOk;
}

void TinyWindow::onPageEvent(SciterWindow, std::uint32_t kind, const char16_t* name, void* tag) {
    auto* window = static_cast<TinyWindow*>(tag);
    if (window->onEvent) window->onEvent(kind, QString::fromUtf16(name));
}

std::intptr_t TinyWindow::onMessage(SciterWindow window, std::uint32_t message,
                                    std::uintptr_t wparam, std::intptr_t lparam, std::uintptr_t,
                                    void* data) {
    const std::intptr_t result = sciter::api()->SciterHookPassOn(window, message, wparam, lparam);
    if (message == kMessageDestroy) {
        // The engine lets go of the window here; so does the window of itself.
        auto* tiny = static_cast<TinyWindow*>(data);
        tiny->m_handle = 0;
        std::shared_ptr<TinyWindow> last = std::move(tiny->m_selfWhileOpen);
    }
    return result;
}

}  // namespace pellanor::ui
