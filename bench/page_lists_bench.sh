#!/usr/bin/env bash
# The main page's big lists in the real program: a scan of 60,000 large files and one of 4,000
# duplicate groups, their reports (2,000 rows each, only what is new) fed through the section's
# own scan session; the final report is timed until the frame after the whole list is painted
# (target: 300 ms), then the list is scrolled from top to bottom over 120 frames
# (target: no frame over 50 ms). Prints the figures.
# Usage: bench/page_lists_bench.sh [build folder, default build/native]
set -euo pipefail

source "$(dirname "$0")/page_bench_lib.sh" "$@"

exec /usr/bin/python3 "$root/bench/page_lists_bench.py"
