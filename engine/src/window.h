// One engine window: a frameless top-level widget showing a QtWebEngine page, with the small
// message model the program's window behaviour is written against (hooks, timers, close and
// destroy), its host callback, its own script object and its pending function calls.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "engine/sdk/sciter_api.h"
#include "engine/src/host.h"

class QSystemTrayIcon;
class QTimer;
class QWebEnginePage;
class QWebEngineView;

namespace engine {

struct PendingCall;

class Window final : public QWidget {
    Q_OBJECT
public:
    Window(SciterWindow handle, std::uint32_t flags, const SciterRect* frame);
    ~Window() override;

    SciterWindow handle() const { return m_handle; }
    std::uint32_t flags() const { return m_flags; }
    QWebEnginePage* page() const;

    bool load(const QString& url);
    void setHostCallback(SciterHostCallback callback, void* param);
    // Asks the host callback for a URL's data; empty optional when the host leaves it to us.
    bool askHost(const QString& url, QByteArray& data);
    void dataReady(const QString& url, const QByteArray& data);
    void setEventHandler(SciterEventHandler handler, void* tag);
    void setAsset(const Asset& asset) { m_asset = asset; }
    const Asset& asset() const { return m_asset; }
    void fireEvent(const QString& name);

    // Message model.
    std::intptr_t dispatch(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);
    std::intptr_t passOn(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);
    bool addHook(SciterHookProc proc, std::uintptr_t id, void* data);
    bool removeHook(SciterHookProc proc, std::uintptr_t id);
    void setTimer(std::uintptr_t id, std::uint32_t milliseconds, SciterTimerProc proc);
    bool killTimer(std::uintptr_t id);
    void destroyWindow();
    bool isDestroying() const { return m_destroying; }

    void showCommand(std::uint32_t command);
    void place(std::uint32_t zOrder, bool move, int x, int y, std::uint32_t visibility,
               bool activate);
    void setToolWindow(bool toolWindow);
    bool setTrayIcon(const QByteArray& image, const QString& tooltip, SciterTrayProc proc,
                     void* data);
    void removeTrayIcon();

    // Page function calls waiting for their page; all fail when the window goes.
    void addPending(const std::shared_ptr<PendingCall>& call);
    void removePending(const std::shared_ptr<PendingCall>& call);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Hook {
        SciterHookProc proc;
        std::uintptr_t id;
        void* data;
    };
    std::intptr_t defaultHandling(std::uint32_t message, std::uintptr_t wparam);
    std::intptr_t callHook(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);
    void setFlagKeepingVisibility(Qt::WindowType flag, bool on);
    void installRuntime();

    SciterWindow m_handle;
    std::uint32_t m_flags;
    QWebEngineView* m_view = nullptr;
    SciterHostCallback m_hostCallback = nullptr;
    void* m_hostParam = nullptr;
    QString m_readyUrl;
    QByteArray m_readyData;
    bool m_ready = false;
    SciterEventHandler m_eventHandler = nullptr;
    void* m_eventTag = nullptr;
    Asset m_asset;

    std::vector<Hook> m_hooks;  // newest first, as the chain runs
    // One frame per dispatch in progress: the chain as it was when the message arrived and the
    // position of the hook now running, so hooks may remove themselves mid-chain.
    struct Frame {
        std::vector<Hook> chain;
        std::size_t next;
    };
    std::vector<Frame> m_frames;
    std::map<std::uintptr_t, QTimer*> m_timers;
    bool m_destroying = false;

    QSystemTrayIcon* m_tray = nullptr;
    std::vector<std::shared_ptr<PendingCall>> m_pending;
};

}  // namespace engine
