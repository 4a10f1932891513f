#!/usr/bin/env bash
# The Programs section with 500 programs whose icons are .exe files, in the real program: time
# from the click to the visible rows painted and to their icons answered, the frames while the
# list scrolls, and the engine's UI-thread cost per icon (first and cached). Prints the figures.
# Usage: bench/program_icons_bench.sh [build folder, default build/native]
set -euo pipefail

source "$(dirname "$0")/page_bench_lib.sh" "$@"
cmake --build "$PELLANOR_BUILD_DIR" --target Pellanor file-icons-bench -j 2 >/dev/null

exec /usr/bin/python3 "$root/bench/program_icons_bench.py"
