#!/usr/bin/env bash
# Long tasks of the main page in the real program (target: none over 50 ms while scanning):
#  1. a live Large files scan of 60,000 sparse files (progress every 500 ms),
#  2. a live Duplicates scan of a tree with a few thousand groups,
#  3. a replayed stream of a 60,000-file scan's reports (every 500 ms the files found since the
#     last report, 2,000 per report at most), then wheel scrolling of the final table.
# Prints, for each, the longest task, the count over 50 ms, and how much of them was our page
# script (parsing and painting a report, rendering rows) rather than the engine delivering the
# report, style, layout or garbage collection. The trees are built in the run's temporary profile.
# Usage: bench/page_long_tasks_bench.sh [build folder, default build/native]
set -euo pipefail

source "$(dirname "$0")/page_bench_lib.sh" "$@"

exec /usr/bin/python3 "$root/bench/page_long_tasks_bench.py"
