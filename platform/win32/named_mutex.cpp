// Win32: named kernel mutexes.
#include "platform/named_mutex.h"

#include <windows.h>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace pellanor::platform {

MutexCreation createNamedMutex(const std::string& name) {
    const std::wstring wide = win32::toWide(name);
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.empty() ? nullptr : wide.c_str());
    if (mutex == nullptr) return MutexCreation::Failed;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        const win32::ScopedHandle closed(mutex);
        return MutexCreation::AlreadyExists;
    }
    // Deliberately never closed: the system releases the object when this process ends.
    return MutexCreation::Created;
}

bool namedMutexExists(const std::string& name) {
    if (name.empty()) return false;
    const win32::ScopedHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, win32::toWide(name).c_str()));
    return mutex.valid();
}

}  // namespace pellanor::platform
