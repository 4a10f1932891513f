#!/usr/bin/env bash
# Configures and builds one tree: "native" (the program and its tests), "win32" (the Windows
# backend and its tests, 64-bit) or "win32-i686" (the same, 32-bit).
# Usage: build.sh native|win32|win32-i686
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:?usage: build.sh native|win32|win32-i686}
build="$root/build/$kind"

case "$kind" in
    native) toolchain=() ;;
    win32) toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake") ;;
    win32-i686) toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake") ;;
    *) echo "unknown build kind: $kind" >&2; exit 2 ;;
esac

cmake -S "$root" -B "$build" -G Ninja "${toolchain[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
