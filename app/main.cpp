// Program entry.
#include "app/startup.h"

int main(int argc, char** argv) { return pellanor::app::run(argc, argv); }
