#!/usr/bin/env bash
# Median round trip of a synchronous native call from a page (target: 1.5 ms or less).
# Folders holding another build's libsciter.so are measured side by side with this build's
# engine: one round of each in turn, so that the load of the machine weighs on all alike, and
# the median of the rounds' medians is printed for each with the load average.
# Usage: bench/engine_call.sh [calls, default 2000] [rounds, default 5] [engine folder ...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
calls=${1:-2000}
rounds=${2:-5}
shift 2 || shift $#
"$root/scripts/build.sh" native >/dev/null
bench="$root/build/native/bench/engine/engine-call-bench"
engines=("$root/build/native/app" "$@")
for engine in "${engines[@]}"; do
    [[ -f "$engine/libsciter.so" ]] || { echo "no libsciter.so in $engine" >&2; exit 1; }
done
results=()
for ((round = 0; round < rounds; ++round)); do
    for engine in "${engines[@]}"; do
        # The library path comes before the bench's own run path.
        results+=("$engine $(LD_LIBRARY_PATH="$engine" xvfb-run -a "$bench" "$calls" 2>/dev/null)")
    done
done
printf '%s\n' "${results[@]}" | python3 -c '
import json, statistics, sys
runs = {}
for line in sys.stdin:
    engine, result = line.split(" ", 1)
    runs.setdefault(engine, []).append(json.loads(result))
for engine, rs in runs.items():
    median = statistics.median(r["median"] for r in rs)
    p90 = statistics.median(r["p90"] for r in rs)
    verdict = "met" if median <= 1.5 else "NOT met"
    print("%s: synchronous native call round trip: median %.3f ms, 90th percentile %.3f ms, "
          "%d rounds of %d calls (target 1.5 ms: %s)"
          % (engine, median, p90, len(rs), rs[0]["calls"], verdict))
print("load average: " + " ".join(open("/proc/loadavg").read().split()[:3]))
'
