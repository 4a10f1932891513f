# What the benches that drive the real program's pages share (sourced, not run): the build
# folder (first argument, default build/native) and the tools they need.
# Usage: source "$(dirname "$0")/page_bench_lib.sh" "$@"; then exec the bench's python half.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export PELLANOR_BUILD_DIR=${1:-$root/build/native}
command -v xvfb-run >/dev/null || { echo "needs xvfb: apt-get install xvfb" >&2; exit 1; }
/usr/bin/python3 -c 'import websocket' 2>/dev/null ||
    { echo "needs python3-websocket: apt-get install python3-websocket" >&2; exit 1; }
