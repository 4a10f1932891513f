# Sourced, not run: the run-time options of the sanitizer build, for its build (test discovery
# runs the test executables) and its test run alike.
#
# Leak detection is off: QtWebEngine's Chromium and Qt's own singletons keep allocations alive
# until exit on purpose, and the reports they give bury any leak of ours. Use-after-free,
# overflows and undefined behaviour stay fatal.
export ASAN_OPTIONS="detect_leaks=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
