#!/usr/bin/env bash
# Configures and builds one of the two trees: "native" (the program and its tests) or "win32"
# (the Windows backend and its tests, cross-compiled). Usage: build.sh native|win32
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:?usage: build.sh native|win32}
build="$root/build/$kind"

case "$kind" in
    native) toolchain=() ;;
    win32) toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake") ;;
    *) echo "unknown build kind: $kind" >&2; exit 2 ;;
esac

cmake -S "$root" -B "$build" -G Ninja "${toolchain[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
