#!/usr/bin/env bash
# Median round trip of a synchronous native call from a page (target: 3 ms or less).
# Usage: bench/engine_call.sh [calls]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" native >/dev/null
result=$(xvfb-run -a "$root/build/native/bench/engine/engine-call-bench" "${1:-2000}" 2>/dev/null)
python3 - "$result" <<'PY'
import json, sys
r = json.loads(sys.argv[1])
print(f"synchronous native call round trip: median {r['median']:.3f} ms, "
      f"90th percentile {r['p90']:.3f} ms, over {r['calls']} calls "
      f"(target 3 ms: {'met' if r['median'] <= 3 else 'NOT met'})")
PY
