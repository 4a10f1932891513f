// A program that still logs while it exits, as a detached worker may: its exit handler is
// registered before the logger exists, so it runs after every static object has been destroyed.
#include <cstdlib>

#include "log/logger.h"

int main() {
    std::atexit([] { pellanor::logging::info("ExitChild", "logged while exiting"); });
    pellanor::logging::info("ExitChild", "logged in main");
    return 0;
}
