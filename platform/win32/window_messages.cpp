// Win32: registered window messages, their broadcast, and a hidden top-level window that hears
// broadcasts on a thread of its own.
#include "platform/window_messages.h"

#include <windows.h>

#include <atomic>
#include <future>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

constexpr UINT kFirstRegisteredMessage = 0xC000;
constexpr UINT kLastRegisteredMessage = 0xFFFF;
constexpr wchar_t kWindowClass[] = L"PellanorBroadcastListener";

using Callback = std::function<void(const std::string&, std::uintptr_t, std::intptr_t)>;

// The ids this process registered. Registered ids are system-wide, and the shell and other
// programs broadcast theirs all the time: only ours are passed on.
struct RegisteredHere {
    std::mutex lock;
    std::set<UINT> ids;
};

RegisteredHere& registeredHere() {
    static auto* registered = new RegisteredHere;  // outlives every listener thread
    return *registered;
}

bool isRegisteredHere(UINT message) {
    RegisteredHere& registered = registeredHere();
    const std::lock_guard<std::mutex> guard(registered.lock);
    return registered.ids.count(message) != 0;
}

class Win32BroadcastListener final : public BroadcastListener {
public:
    explicit Win32BroadcastListener(Callback onMessage) : m_onMessage(std::move(onMessage)) {}

    // False when the window could not be made; the thread has ended then.
    bool start() {
        std::promise<HWND> created;
        std::future<HWND> window = created.get_future();
        m_thread = std::thread([this, &created] { run(created); });
        m_window = window.get();
        if (m_window != nullptr) return true;
        m_thread.join();
        return false;
    }

    ~Win32BroadcastListener() override {
        if (!m_thread.joinable()) return;
        m_stopping = true;
        PostMessageW(m_window, WM_CLOSE, 0, 0);
        m_thread.join();
    }

private:
    void run(std::promise<HWND>& created) {
        // Not a message-only window: those are left out of HWND_BROADCAST.
        const HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, 0, 0, 0,
                                            0, nullptr, nullptr, GetModuleHandleW(nullptr), this);
        created.set_value(window);
        if (window == nullptr) return;
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    }

    // Registered messages share the atom table with clipboard formats, which is how an id is
    // turned back into its name.
    void deliver(UINT message, WPARAM wparam, LPARAM lparam) {
        wchar_t name[256];
        const int length = GetClipboardFormatNameW(message, name, 256);
        if (length <= 0) return;
        try {
            m_onMessage(win32::toUtf8(std::wstring_view(name, static_cast<std::size_t>(length))),
                        wparam, lparam);
        } catch (...) {
            // The callback's failure is its own; the window keeps listening.
        }
    }

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self =
            reinterpret_cast<Win32BroadcastListener*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
        if (message >= kFirstRegisteredMessage && message <= kLastRegisteredMessage) {
            if (isRegisteredHere(message)) self->deliver(message, wparam, lparam);
            return 0;
        }
        switch (message) {
            case WM_CLOSE:
                // A WM_CLOSE broadcast by another program must not end the listener.
                if (self->m_stopping) DestroyWindow(window);
                return 0;
            case WM_DESTROY:
                PostQuitMessage(0);
                return 0;
            default:
                return DefWindowProcW(window, message, wparam, lparam);
        }
    }

    friend bool registerWindowClass();

    Callback m_onMessage;
    std::atomic<bool> m_stopping{false};
    HWND m_window = nullptr;
    std::thread m_thread;
};

bool registerWindowClass() {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &Win32BroadcastListener::windowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kWindowClass;
        return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

}  // namespace

std::uint32_t registerWindowMessage(const std::string& name) {
    if (name.empty()) return 0;
    const UINT message = RegisterWindowMessageW(win32::toWide(name).c_str());
    if (message != 0) {
        RegisteredHere& registered = registeredHere();
        const std::lock_guard<std::mutex> guard(registered.lock);
        registered.ids.insert(message);
    }
    return message;
}

bool broadcastWindowMessage(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    return PostMessageW(HWND_BROADCAST, message, wparam, lparam) != 0;
}

std::unique_ptr<BroadcastListener> listenForBroadcasts(
    std::function<void(const std::string& name, std::uintptr_t wparam, std::intptr_t lparam)>
        onMessage) {
    if (!onMessage || !registerWindowClass()) return nullptr;
    try {
        auto listener = std::make_unique<Win32BroadcastListener>(std::move(onMessage));
        if (!listener->start()) return nullptr;
        return listener;
    } catch (...) {  // the thread could not start
        return nullptr;
    }
}

}  // namespace pellanor::platform
