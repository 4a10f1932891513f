// Program entry. For now the program announces itself in the daily log and exits.
#include "app/constants.h"
#include "log/logger.h"
#include "platform/executable.h"

int main() {
    pellanor::logging::info("App", "{} {} started from {}", pellanor::kApplicationName,
                            pellanor::kApplicationVersion, pellanor::platform::executablePath());
    return 0;
}
