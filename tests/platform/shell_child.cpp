// A child for the launch tests: writes its working folder, then each argument, one per line, to
// "launched.txt" in its working folder. The file appears whole (written aside, then renamed).
#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
    {
        std::ofstream out("launched.tmp", std::ios::binary);
        out << std::filesystem::current_path().u8string() << '\n';
        for (int i = 1; i < argc; ++i) out << argv[i] << '\n';
    }
    return std::rename("launched.tmp", "launched.txt") == 0 ? 0 : 1;
}
