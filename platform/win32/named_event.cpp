// Win32: named kernel events, kept open once made or found.
#include "platform/named_event.h"

#include <windows.h>

#include <map>
#include <mutex>

#include "platform/win32/wide.h"

namespace pellanor::platform {

namespace {

// Handles are deliberately never closed: an event found set must stay set for this process,
// and the one we created must outlive every call (the system closes them when we end).
struct KeptEvents {
    std::mutex lock;
    std::map<std::string, HANDLE> created;
    std::map<std::string, HANDLE> opened;
};

KeptEvents& keptEvents() {
    static auto* kept = new KeptEvents;
    return *kept;
}

}  // namespace

bool setNamedEvent(const std::string& name) {
    KeptEvents& kept = keptEvents();
    const std::lock_guard<std::mutex> guard(kept.lock);
    auto found = kept.created.find(name);
    if (found == kept.created.end()) {
        const std::wstring wide = win32::toWide(name);
        const HANDLE event =
            CreateEventW(nullptr, TRUE, FALSE, name.empty() ? nullptr : wide.c_str());
        if (event == nullptr) return false;
        found = kept.created.emplace(name, event).first;
    }
    return SetEvent(found->second) != FALSE;
}

bool isNamedEventSet(const std::string& name) {
    KeptEvents& kept = keptEvents();
    const std::lock_guard<std::mutex> guard(kept.lock);
    HANDLE event = nullptr;
    if (const auto own = kept.created.find(name); own != kept.created.end()) event = own->second;
    if (const auto seen = kept.opened.find(name); seen != kept.opened.end()) event = seen->second;
    if (event == nullptr) {
        if (name.empty()) return false;
        event = OpenEventW(SYNCHRONIZE, FALSE, win32::toWide(name).c_str());
        if (event == nullptr) return false;
        kept.opened.emplace(name, event);
    }
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

}  // namespace pellanor::platform
