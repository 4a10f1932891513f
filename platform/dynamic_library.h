// Loading a shared library at run time (the HTML engine), and the error box shown when that fails
// before any Qt object exists.
#pragma once

#include <string>

namespace pellanor::platform {

// "sciter" -> "sciter.dll" on Windows, "libsciter.so" on POSIX.
std::string sharedLibraryFileName(const std::string& baseName);

// Loads the library by name with the executable's own search rules (Windows: LoadLibraryW;
// POSIX: dlopen with RTLD_NOW | RTLD_LOCAL). Null on failure, an empty name included. Blocks
// while the library loads and runs its initialisers.
void* loadLibrary(const std::string& fileName);

// The exported symbol (GetProcAddress / dlsym); null when it is absent or `library` is null.
void* librarySymbol(void* library, const char* name);

// Unloads a library from loadLibrary; null is ignored.
void freeLibrary(void* library);

// A modal error box with an OK button; blocks until it is dismissed. Windows:
// MessageBoxW(nullptr, text, caption, MB_OK | MB_ICONERROR). POSIX stand-in: writes
// "<caption>: <text>" to standard error and, with a desktop session (DISPLAY or
// WAYLAND_DISPLAY) and a dialog tool on PATH (zenity, else kdialog, else xmessage), runs the tool
// with the caption and the text as arguments of their own (no shell sees them) and waits for it.
// Uses no Qt: it serves before any Qt object exists.
void showErrorMessage(const std::string& text, const std::string& caption);

}  // namespace pellanor::platform
