// Desktop facts from Qt's screens and cursor. The mouse hook is application-wide: X11 and Wayland
// give no system-wide hook to an ordinary client, so only presses inside our own windows reach
// it. A press in another program's window cannot be seen; for our pop-up menus this means such
// a press also takes focus away from the page, which the page can observe itself.
#include "engine/src/desktop.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include <climits>
#include <map>

namespace engine {

namespace {

class MouseHooks final : public QObject {
public:
    std::uintptr_t add(SciterMouseProc proc, void* data) {
        if (m_hooks.empty()) QCoreApplication::instance()->installEventFilter(this);
        m_hooks.emplace(++m_lastId, std::make_pair(proc, data));
        return m_lastId;
    }
    bool remove(std::uintptr_t hook) {
        const bool removed = m_hooks.erase(hook) > 0;
        if (removed && m_hooks.empty()) QCoreApplication::instance()->removeEventFilter(this);
        return removed;
    }

protected:
    // Every press reaches the QWindow first and the widgets after; the QWindow sees each once.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonPress || !watched->isWindowType()) return false;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const std::uint32_t button = buttonCode(mouse->button());
        const QPoint at = mouse->globalPos();
        // A hook may remove itself or another one; a removed hook is not called, as its data
        // may be gone with it.
        const auto hooks = m_hooks;
        for (const auto& entry : hooks) {
            if (m_hooks.count(entry.first)) {
                entry.second.first(button, at.x(), at.y(), entry.second.second);
            }
        }
        return false;  // the press is never swallowed
    }

private:
    static std::uint32_t buttonCode(Qt::MouseButton button) {
        switch (button) {
            case Qt::LeftButton:
                return kMouseLeft;
            case Qt::RightButton:
                return kMouseRight;
            case Qt::MiddleButton:
                return kMouseMiddle;
            default:
                return kMouseExtra;
        }
    }

    std::map<std::uintptr_t, std::pair<SciterMouseProc, void*>> m_hooks;
    std::uintptr_t m_lastId = 0;
};

MouseHooks* mouseHooks() {
    static MouseHooks* hooks = nullptr;
    if (!hooks && QCoreApplication::instance()) hooks = new MouseHooks;
    return hooks;
}

QScreen* nearestScreen(const QPoint& point) {
    if (QScreen* screen = QGuiApplication::screenAt(point)) return screen;
    QScreen* nearest = QGuiApplication::primaryScreen();
    long best = LONG_MAX;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->geometry();
        const long dx = std::max({area.left() - point.x(), 0, point.x() - area.right()});
        const long dy = std::max({area.top() - point.y(), 0, point.y() - area.bottom()});
        if (dx * dx + dy * dy < best) {
            best = dx * dx + dy * dy;
            nearest = screen;
        }
    }
    return nearest;
}

}  // namespace

std::uintptr_t installMouseHook(SciterMouseProc proc, void* data, std::uint32_t* error) {
    MouseHooks* hooks = mouseHooks();
    std::uint32_t reason = 0;
    if (!proc) reason = kHookErrorNoProcedure;
    if (proc && !hooks) reason = kHookErrorNotReady;
    if (error) *error = reason;
    return reason == 0 ? hooks->add(proc, data) : 0;
}

bool removeMouseHook(std::uintptr_t hook) {
    MouseHooks* hooks = mouseHooks();
    return hooks && hooks->remove(hook);
}

bool cursorPosition(std::int32_t* x, std::int32_t* y) {
    if (!x || !y || !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    const QPoint at = QCursor::pos();
    *x = at.x();
    *y = at.y();
    return true;
}

std::int32_t monitorCount() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return 0;
    return QGuiApplication::screens().size();
}

bool monitorWorkArea(std::int32_t x, std::int32_t y, SciterRect* area) {
    if (!area || !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    QScreen* screen = nearestScreen(QPoint(x, y));
    if (!screen) return false;
    const QRect work = screen->availableGeometry();
    *area = SciterRect{work.left(), work.top(), work.right() + 1, work.bottom() + 1};
    return true;
}

}  // namespace engine
