// Win32: LoadLibraryW and the system's message box.
#include "platform/dynamic_library.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace pellanor::platform {

std::string sharedLibraryFileName(const std::string& baseName) { return baseName + ".dll"; }

void* loadLibrary(const std::string& fileName) {
    if (fileName.empty()) return nullptr;
    return LoadLibraryW(win32::toWide(fileName).c_str());
}

void* librarySymbol(void* library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void freeLibrary(void* library) {
    if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

void showErrorMessage(const std::string& text, const std::string& caption) {
    MessageBoxW(nullptr, win32::toWide(text).c_str(), win32::toWide(caption).c_str(),
                MB_OK | MB_ICONERROR);
}

}  // namespace pellanor::platform
