#!/usr/bin/env bash
# The Programs section with 500 programs whose icons are .exe files, in the real program: time
# from the click to the visible rows painted and to their icons answered, the frames while the
# list scrolls, and the engine's UI-thread cost per icon (first and cached). Prints the figures.
# Usage: bench/program_icons_bench.sh [build folder, default build/native]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
export PELLANOR_BUILD_DIR=${1:-$root/build/native}
command -v xvfb-run >/dev/null || { echo "needs xvfb: apt-get install xvfb" >&2; exit 1; }
/usr/bin/python3 -c 'import websocket' 2>/dev/null ||
    { echo "needs python3-websocket: apt-get install python3-websocket" >&2; exit 1; }
cmake --build "$PELLANOR_BUILD_DIR" --target Pellanor file-icons-bench -j 2 >/dev/null

exec /usr/bin/python3 "$root/bench/program_icons_bench.py"
