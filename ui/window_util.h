// WindowUtil: how pages open other page windows, and VirtualKey: the key codes pages compare
// keyboard events with.
#pragma once

#include <QString>

#include <memory>
#include <mutex>
#include <vector>

#include "bridge/script_class.h"
#include "ui/tiny_window.h"

namespace pellanor::ui {

class WindowUtil {
public:
    static WindowUtil& instance();

    // Opens `path` in a new debug-enabled window and answers its handle (0 when no window could
    // be made). The window is not shown: its page decides when, after reading showOnLoaded. A
    // window opened earlier for the same path is dropped from the list but stays open. The main
    // page's window becomes the main window and the tray page's the tray window (main_window.h).
    int createWindow(const QString& path, int flags, bool showOnLoaded);

    // The windows opened so far, oldest first.
    std::vector<std::shared_ptr<TinyWindow>> windows() const;

    void* scriptObject() const { return m_binding; }
    static const bridge::ScriptClass& scriptClass();

private:
    WindowUtil();

    mutable std::mutex m_lock;
    std::vector<std::shared_ptr<TinyWindow>> m_windows;
    void* m_binding;
};

// The VirtualKey object: F1 to F12 and ESC as read-only integer properties.
const bridge::ScriptClass& virtualKeyClass();

}  // namespace pellanor::ui
