// POSIX: shared libraries through dlopen; the error box through the desktop's dialog tool.
#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <vector>

#include "platform/posix/child_process.h"

namespace pellanor::platform {
namespace {

// The tool's command for the box, or empty when no desktop session or no tool is there.
// zenity reads its text as markup unless told not to: a path with '&' or '<' must show as is.
std::vector<std::string> dialogCommand(const std::string& text, const std::string& caption) {
    if (!posix::hasDesktopSession()) return {};
    if (posix::isInPath("zenity")) {
        return {"zenity", "--error", "--no-markup", "--title", caption, "--text", text};
    }
    if (posix::isInPath("kdialog")) return {"kdialog", "--title", caption, "--error", text};
    if (posix::isInPath("xmessage")) {
        return {"xmessage", "-center", "-title", caption, "-buttons", "OK", text};
    }
    return {};
}

}  // namespace

std::string sharedLibraryFileName(const std::string& baseName) { return "lib" + baseName + ".so"; }

void* loadLibrary(const std::string& fileName) {
    // dlopen would hand out the main program for an empty name.
    if (fileName.empty()) return nullptr;
    return dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* librarySymbol(void* library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return dlsym(library, name);
}

void freeLibrary(void* library) {
    if (library != nullptr) dlclose(library);
}

void showErrorMessage(const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    const std::vector<std::string> command = dialogCommand(text, caption);
    if (!command.empty()) posix::runTool(command, std::nullopt, nullptr);
}

}  // namespace pellanor::platform
