// A child for the command-line tests.
//   command_line_child <exit code> [words...]  prints each word on a line of its own, then exits
//                                              with the code;
//   command_line_child late <file>             writes the file after two seconds, unless it is
//                                              ended before;
//   command_line_child many <lines>            prints that many lines of 99 "x" and exits with 0;
//   command_line_child arguments [words...]    prints each word as the program's arguments give
//                                              it, in hexadecimal UTF-8 (no console code page
//                                              on the way), and exits with 0.
//   command_line_child self [words...]         prints its own command line as the platform
//                                              reads it and exits with 0.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/executable.h"
#include "platform/program_arguments.h"

int main(int argc, char** argv) {
    if (argc < 2) return 100;
    if (std::strcmp(argv[1], "late") == 0 && argc == 3) {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        std::ofstream(argv[2]) << "late\n";
        return 0;
    }
    if (std::strcmp(argv[1], "many") == 0 && argc == 3) {
        const int lines = std::atoi(argv[2]);
        for (int i = 0; i < lines; ++i) std::printf("%099d\n", 0);
        return 0;
    }
    if (std::strcmp(argv[1], "arguments") == 0) {
        const std::vector<std::string> words = pellanor::platform::programArguments(argc, argv);
        for (std::size_t i = 2; i < words.size(); ++i) {
            for (const char byte : words[i]) std::printf("%02x", static_cast<unsigned char>(byte));
            std::printf("\n");
        }
        return 0;
    }
    if (std::strcmp(argv[1], "self") == 0) {
        std::printf("%s\n", pellanor::platform::processCommandLine().c_str());
        return 0;
    }
    for (int i = 2; i < argc; ++i) std::printf("%s\n", argv[i]);
    return std::atoi(argv[1]);
}
