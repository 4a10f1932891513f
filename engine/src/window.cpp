// Engine windows over QtWebEngine and their message model.
#include "engine/src/window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <algorithm>

#include "engine/src/invoke.h"
#include "engine/src/script_objects.h"
#include "engine/src/values.h"

namespace engine {

namespace {

constexpr int kDefaultWidth = 800;
constexpr int kDefaultHeight = 600;
const QString kRuntimeName = QStringLiteral("engine-runtime");

// Pages call native code synchronously by design; Chromium's warning about it for every page is
// noise. Other console messages go to standard error as QtWebEngine prints them.
class Page final : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override {
        if (message.startsWith(QLatin1String("Synchronous XMLHttpRequest on the main thread"))) {
            return;
        }
        QWebEnginePage::javaScriptConsoleMessage(level, message, line, source);
    }
};

Qt::WindowFlags windowFlagsFor(std::uint32_t flags) {
    Qt::WindowFlags qtFlags = Qt::Window | Qt::FramelessWindowHint;
    if (flags & kWindowPopup) qtFlags |= Qt::WindowStaysOnTopHint;
    return qtFlags;
}

QRect initialGeometry(const SciterRect* frame) {
    if (frame && frame->right > frame->left && frame->bottom > frame->top) {
        return QRect(QPoint(frame->left, frame->top), QPoint(frame->right - 1, frame->bottom - 1));
    }
    QRect area(0, 0, kDefaultWidth, kDefaultHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area.moveCenter(screen->availableGeometry().center());
    }
    return area;
}

}  // namespace

Window::Window(SciterWindow handle, std::uint32_t flags, const SciterRect* frame)
    : QWidget(nullptr, windowFlagsFor(flags)), m_handle(handle), m_flags(flags) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setGeometry(initialGeometry(frame));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new QWebEngineView(this);
    m_view->setPage(new Page(Host::instance().profile(), m_view));
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    QWebEngineSettings* settings = m_view->page()->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, true);
    layout->addWidget(m_view);
    connect(m_view->page(), &QWebEnginePage::loadFinished, this, [this](bool) {
        if (m_eventHandler && !m_destroying) {
            const std::u16string url = toU16(m_view->page()->url().toString());
            m_eventHandler(m_handle, kEventDocumentReady, url.c_str(), m_eventTag);
        }
    });
}

Window::~Window() {
    for (const auto& call : m_pending) call->finish(pageGoneReply());
    m_pending.clear();
    removeTrayIcon();
}

QWebEnginePage* Window::page() const { return m_view->page(); }

void Window::installRuntime() {
    QWebEngineScriptCollection& scripts = page()->scripts();
    for (const QWebEngineScript& old : scripts.findScripts(kRuntimeName)) scripts.remove(old);
    QWebEngineScript runtime;
    runtime.setName(kRuntimeName);
    runtime.setInjectionPoint(QWebEngineScript::DocumentCreation);
    runtime.setWorldId(QWebEngineScript::MainWorld);
    runtime.setRunsOnSubFrames(false);
    runtime.setSourceCode(runtimeScript(m_handle, m_asset));
    scripts.insert(runtime);
}

bool Window::load(const QString& url) {
    const QUrl target = QUrl::fromUserInput(url);
    if (!target.isValid() || m_destroying) return false;
    installRuntime();  // objects registered since the last load are seen by the new page
    page()->load(target);
    return true;
}

void Window::setHostCallback(SciterHostCallback callback, void* param) {
    m_hostCallback = callback;
    m_hostParam = param;
}

bool Window::askHost(const QString& url, QByteArray& data) {
    if (!m_hostCallback) return false;
    const std::u16string text = toU16(url);
    const SciterLoadRequest request{m_handle, text.c_str()};
    m_ready = false;
    m_readyUrl = url;
    const std::uint32_t answer = m_hostCallback(&request, m_hostParam);
    const bool answered = answer == kLoadOk && m_ready;
    if (answered) data = m_readyData;
    m_ready = false;
    m_readyData.clear();
    m_readyUrl.clear();
    return answered;
}

void Window::dataReady(const QString& url, const QByteArray& data) {
    if (url != m_readyUrl) return;
    m_readyData = data;
    m_ready = true;
}

void Window::setEventHandler(SciterEventHandler handler, void* tag) {
    m_eventHandler = handler;
    m_eventTag = tag;
}

void Window::fireEvent(const QString& name) {
    if (m_destroying) return;
    const QString script =
        QStringLiteral("window.__engine && window.__engine.fire(%1)")
            .arg(QString::fromUtf8(QJsonDocument(QJsonArray{name}).toJson(QJsonDocument::Compact))
                     .mid(1)
                     .chopped(1));
    page()->runJavaScript(script);
    if (m_eventHandler) {
        const std::u16string text = toU16(name);
        m_eventHandler(m_handle, kEventCustom, text.c_str(), m_eventTag);
    }
}

// --- message model ---------------------------------------------------------------------------

std::intptr_t Window::dispatch(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    // A hook may wait in a nested event loop for a page function, and a window destroyed
    // meanwhile is deleted in that loop: nothing of this window may be touched after the chain.
    const QPointer<Window> alive(this);
    m_frames.push_back(Frame{m_hooks, 0});
    const std::intptr_t result = callHook(message, wparam, lparam);
    if (alive) m_frames.pop_back();
    return result;
}

std::intptr_t Window::passOn(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    if (m_frames.empty()) return defaultHandling(message, wparam);
    return callHook(message, wparam, lparam);
}

// Calls the next hook of the innermost dispatch, or the default handling past the last one.
std::intptr_t Window::callHook(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    Frame& frame = m_frames.back();
    while (frame.next < frame.chain.size()) {
        const Hook hook = frame.chain[frame.next++];
        // A hook removed by an earlier one in this dispatch is skipped.
        const bool installed = std::any_of(m_hooks.begin(), m_hooks.end(), [&hook](const Hook& h) {
            return h.proc == hook.proc && h.id == hook.id;
        });
        if (installed) return hook.proc(m_handle, message, wparam, lparam, hook.id, hook.data);
    }
    return defaultHandling(message, wparam);
}

std::intptr_t Window::defaultHandling(std::uint32_t message, std::uintptr_t wparam) {
    if (message == kMessageClose) {
        destroyWindow();
    } else if (message == kMessageSysCommand &&
               (wparam & ~std::uintptr_t{0xF}) == kSysCommandClose) {
        dispatch(kMessageClose, 0, 0);
    }
    return 0;
}

bool Window::addHook(SciterHookProc proc, std::uintptr_t id, void* data) {
    if (!proc) return false;
    for (Hook& hook : m_hooks) {
        if (hook.proc == proc && hook.id == id) {
            hook.data = data;
            return true;
        }
    }
    m_hooks.insert(m_hooks.begin(), Hook{proc, id, data});
    return true;
}

bool Window::removeHook(SciterHookProc proc, std::uintptr_t id) {
    const auto found = std::find_if(m_hooks.begin(), m_hooks.end(), [&](const Hook& hook) {
        return hook.proc == proc && hook.id == id;
    });
    if (found == m_hooks.end()) return false;
    m_hooks.erase(found);
    return true;
}

// One-shot: the timer is forgotten before its procedure runs, so the procedure may set it again.
void Window::setTimer(std::uintptr_t id, std::uint32_t milliseconds, SciterTimerProc proc) {
    killTimer(id);
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, id, proc, timer] {
        const auto found = m_timers.find(id);
        if (found == m_timers.end() || found->second != timer) return;
        m_timers.erase(found);
        timer->deleteLater();
        proc(m_handle, id);
    });
    m_timers[id] = timer;
    timer->start(static_cast<int>(std::min<std::uint32_t>(milliseconds, INT32_MAX)));
}

bool Window::killTimer(std::uintptr_t id) {
    const auto found = m_timers.find(id);
    if (found == m_timers.end()) return false;
    found->second->stop();
    found->second->deleteLater();
    m_timers.erase(found);
    return true;
}

void Window::destroyWindow() {
    if (m_destroying) return;
    m_destroying = true;
    dispatch(kMessageDestroy, 0, 0);
    // The host lets go of its window objects at the destroy message; a page still loading must
    // not reach them afterwards through the handlers they installed.
    m_eventHandler = nullptr;
    m_hostCallback = nullptr;
    for (auto& entry : m_timers) entry.second->deleteLater();
    m_timers.clear();
    for (const auto& call : m_pending) call->finish(pageGoneReply());
    m_pending.clear();
    removeTrayIcon();  // a click on it would reach the owner's procedure with a dead handle
    hide();
    Host::instance().windowDestroyed(this);
    deleteLater();  // we may be inside one of the page's own calls
}

void Window::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (!m_destroying) dispatch(kMessageClose, 0, 0);
}

// --- placement and shell ---------------------------------------------------------------------

void Window::showCommand(std::uint32_t command) {
    switch (command) {
        case kShowHide:
            hide();
            break;
        case kShowNormal:
            showNormal();
            break;
        case kShowMinimize:
            showMinimized();
            break;
        case kShowRestore:
            isMinimized() ? showNormal() : show();
            break;
        default:
            QWidget::show();
            break;
    }
}

// Changing window flags recreates the native window, which hides it; visibility is restored.
void Window::setFlagKeepingVisibility(Qt::WindowType flag, bool on) {
    if (testAttribute(Qt::WA_WState_Created) && windowFlags().testFlag(flag) == on) return;
    const bool visible = isVisible();
    setWindowFlag(flag, on);
    if (visible) QWidget::show();
}

void Window::place(std::uint32_t zOrder, bool move, int x, int y, std::uint32_t visibility,
                   bool activate) {
    if (zOrder == kZOrderTopMost) setFlagKeepingVisibility(Qt::WindowStaysOnTopHint, true);
    if (zOrder == kZOrderNotTopMost) setFlagKeepingVisibility(Qt::WindowStaysOnTopHint, false);
    if (move) QWidget::move(x, y);
    if (visibility == kShowHide) hide();
    if (visibility == kShowShow) QWidget::show();
    if (activate) {
        raise();
        activateWindow();
    }
}

void Window::setToolWindow(bool toolWindow) { setFlagKeepingVisibility(Qt::Tool, toolWindow); }

bool Window::setTrayIcon(const QByteArray& image, const QString& tooltip, SciterTrayProc proc,
                         void* data) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
    QPixmap pixmap;
    if (!pixmap.loadFromData(image)) pixmap = windowIcon().pixmap(32, 32);
    if (pixmap.isNull()) return false;
    if (!m_tray) m_tray = new QSystemTrayIcon(this);
    m_tray->disconnect(this);
    m_tray->setIcon(QIcon(pixmap));
    m_tray->setToolTip(tooltip);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this, proc, data](auto reason) {
        if (!proc) return;
        if (reason == QSystemTrayIcon::Trigger) proc(m_handle, kMouseLeft, data);
        if (reason == QSystemTrayIcon::Context) proc(m_handle, kMouseRight, data);
    });
    m_tray->show();
    return true;
}

void Window::removeTrayIcon() {
    if (!m_tray) return;
    m_tray->hide();
    delete m_tray;
    m_tray = nullptr;
}

void Window::addPending(const std::shared_ptr<PendingCall>& call) { m_pending.push_back(call); }

void Window::removePending(const std::shared_ptr<PendingCall>& call) {
    m_pending.erase(std::remove(m_pending.begin(), m_pending.end(), call), m_pending.end());
}

}  // namespace engine
