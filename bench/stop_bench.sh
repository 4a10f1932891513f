#!/usr/bin/env bash
# Times Stop: from stopDeleteFiles to the deletion job's final report (50,000 small files,
# pressed once the first progress report came) and from stopCleanPrivacyItems to the junk
# clean's report (the "temp" rule emptying 60,000 files, pressed 50 ms in); prints the median
# and the slowest of each (target: 200 ms).
# Usage: bench/stop_bench.sh [build folder, default build/native]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
cmake --build "$build" --target stop_bench -j 2 >/dev/null
runs=${PELLANOR_BENCH_RUNS:-5}
work=$(mktemp -d /tmp/pellanor-stop-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export APPDATA="$work/roaming"

report() {
    python3 -c '
import statistics, sys
times = [float(line) for line in sys.stdin if line.strip()]
print(f"{sys.argv[1]}: Stop to final report median {statistics.median(times):.1f} ms, "
      f"slowest {max(times):.1f} ms over {len(times)} runs (target 200 ms)")' "$1"
}
"$build/bench/stop/stop_bench" delete "$work/files" "$runs" | report "deletion job"
TMPDIR="$work/temp" "$build/bench/stop/stop_bench" junk "$work/temp" "$runs" | report "junk clean"
