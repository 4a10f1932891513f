#!/usr/bin/env bash
# Configures and builds one tree: "native" (the program and its tests), "asan" (the same with the
# address and undefined-behaviour sanitizers), "win32" (the Windows backend and its tests, 64-bit)
# or "win32-i686" (the same, 32-bit). Target names after the kind build only those targets.
# Usage: build.sh native|asan|win32|win32-i686 [target...]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:?usage: build.sh native|asan|win32|win32-i686 [target...]}
shift
build="$root/build/$kind"

case "$kind" in
    native) options=() ;;
    asan)
        sanitize="-fsanitize=address,undefined -fno-omit-frame-pointer"
        # The instrumentation defeats GCC's flow analysis: it reports libstdc++'s own <regex>
        # as maybe uninitialized. The native build keeps the warning.
        options=(-DCMAKE_CXX_FLAGS="$sanitize -Wno-maybe-uninitialized"
                 -DCMAKE_EXE_LINKER_FLAGS="$sanitize"
                 -DCMAKE_SHARED_LINKER_FLAGS="$sanitize")
        # Test discovery runs each test executable during the build.
        source "$root/scripts/sanitizer_options.sh"
        ;;
    win32) options=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake") ;;
    win32-i686) options=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake") ;;
    *) echo "unknown build kind: $kind" >&2; exit 2 ;;
esac

cmake -S "$root" -B "$build" -G Ninja "${options[@]}" >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
