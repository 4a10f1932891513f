// TinyWindow: the top-level window every page lives in, with the few native methods its own page
// may call (hideFromTaskBar, hwnd, setTitle, showOnLoaded).
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

#include "engine/sdk/sciter_api.h"

namespace pellanor::ui {

class TinyWindow : public std::enable_shared_from_this<TinyWindow> {
public:
    // Creates the engine window (no title bar, default frame, no parent) and attaches the page
    // loader. The window keeps itself alive until the engine destroys it, so a window dropped by
    // every owner stays open while it is on screen.
    static std::shared_ptr<TinyWindow> create(std::uint32_t flags);
    ~TinyWindow();

    TinyWindow(const TinyWindow&) = delete;
    TinyWindow& operator=(const TinyWindow&) = delete;

    SciterWindow handle() const { return m_handle; }
    bool showOnLoaded() const { return m_showOnLoaded; }
    void setShowOnLoaded(bool show) { m_showOnLoaded = show; }
    const QString& pagePath() const { return m_pagePath; }
    void setPagePath(const QString& path) { m_pagePath = path; }

    // Attaches the host callback and the event handler once; false without a window.
    bool setUpHost();
    bool hostSetUp() const { return m_hostSetUp; }
    bool load(const QString& url);
    // Shows the window normally (not maximised).
    bool expand();

    // Script methods of the window's own page.
    bool hideFromTaskBar();
    int hwnd() const { return static_cast<int>(m_handle); }
    void setTitle(const QString& title);

    // Page notifications (document ready, custom events); windows with behaviour of their own
    // listen here.
    std::function<void(std::uint32_t kind, const QString& name)> onEvent;

private:
    explicit TinyWindow(SciterWindow handle);

    static std::uint32_t onLoadRequest(const SciterLoadRequest* request, void* param);
    static void onPageEvent(SciterWindow window, std::uint32_t kind, const char16_t* name,
                            void* tag);
    static std::intptr_t onMessage(SciterWindow window, std::uint32_t message,
                                   std::uintptr_t wparam, std::intptr_t lparam,
                                   std::uintptr_t hookId, void* data);

    SciterWindow m_handle;
    bool m_showOnLoaded = false;
    QString m_pagePath;
    bool m_hostSetUp = false;
    std::shared_ptr<TinyWindow> m_selfWhileOpen;
};

}  // namespace pellanor::ui
