// Program entry.
#include "app/startup.h"
#include "platform/program_arguments.h"

int main(int argc, char** argv) {
    return pellanor::app::run(pellanor::platform::programArguments(argc, argv));
}
