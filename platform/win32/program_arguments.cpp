// Win32: the wide command line, split as the C runtime would split it, without its trip through
// the ANSI code page.
#include "platform/program_arguments.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "platform/win32/wide.h"

namespace pellanor::platform {
namespace {

struct LocalFreer {
    void operator()(LPWSTR* memory) const noexcept { LocalFree(memory); }
};

std::string fromAnsi(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return win32::toUtf8(wide);
}

}  // namespace

std::vector<std::string> programArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalFreer> words(CommandLineToArgvW(GetCommandLineW(), &count));
    if (words) {
        for (int i = 0; i < count; ++i) arguments.push_back(win32::toUtf8(words.get()[i]));
        return arguments;
    }
    for (int i = 0; i < argc && argv[i] != nullptr; ++i) arguments.push_back(fromAnsi(argv[i]));
    return arguments;
}

}  // namespace pellanor::platform
