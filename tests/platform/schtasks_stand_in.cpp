// Stands in for the system's schtasks.exe in the logon task tests: appends the arguments it was
// given, one per line and then "--", to the file named by PELLANOR_SCHTASKS_LOG, and keeps one
// task as the file "<log>.task". Exit codes: /create 0; /query and /delete 0 when the task
// exists, else 1; 1 for everything when PELLANOR_SCHTASKS_FAIL is set; 3 without a log file
// named, so that a stray run changes nothing.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    const char* log = std::getenv("PELLANOR_SCHTASKS_LOG");
    if (log == nullptr || argc < 2) return 3;
    {
        std::ofstream record(log, std::ios::app | std::ios::binary);
        for (int i = 1; i < argc; ++i) record << argv[i] << '\n';
        record << "--\n";
    }
    if (std::getenv("PELLANOR_SCHTASKS_FAIL") != nullptr) return 1;
    const std::string task = std::string(log) + ".task";
    const bool exists = std::ifstream(task).good();
    if (std::strcmp(argv[1], "/create") == 0) {
        std::ofstream(task) << "task";
        return 0;
    }
    if (std::strcmp(argv[1], "/delete") == 0) return std::remove(task.c_str()) == 0 ? 0 : 1;
    return exists ? 0 : 1;
}
