#!/usr/bin/env bash
# How fast a worker's report reaches a page function, for texts of 1 KB, 1 MB and 12 MB: from
# the native call to the callback running, the round trip, the longest stall of the UI thread
# and the page's longest task around a delivery; beside them what a text costs when it travels
# inside the script (building the script, compiling its literal in the page).
# Usage: bench/engine_delivery.sh [rounds, default 5]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PELLANOR_BUILD_DIR:-$root/build/native}
cmake --build "$build" --target engine-delivery-bench sciter >/dev/null
result=$(xvfb-run -a "$build/bench/engine/engine-delivery-bench" "${1:-5}" 2>/dev/null)
python3 - "$result" <<'PY'
import json, sys
r = json.loads(sys.argv[1])
print('%-6s %10s %10s %10s %10s %10s %10s' % ('text', 'to page', 'round trip', 'UI stall',
                                             'page task', 'as script', 'as literal'))
for s in r['sizes']:
    print('%-6s %7.1f ms %7.1f ms %7.1f ms %7.1f ms %7.1f ms %7.1f ms' % (
        s['size'], s['latency'], s['roundTrip'], s['uiStall'], s['pageTask'], s['scriptBuild'],
        s['literal']))
print('medians over the rounds; "page task" is the longest over all of them (0: none over 50 ms);')
print('"as script" / "as literal": building the old script natively, compiling it in the page.')
PY
