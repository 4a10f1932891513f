#!/usr/bin/env bash
# The main page's big lists in the real program: a final report of 60,000 large files and one of
# 4,000 duplicate groups, each fed through the section's own report handler, timed until the
# frame after it is painted (target: 300 ms), then scrolled from top to bottom over 120 frames
# (target: no frame over 50 ms). Prints the figures.
# Usage: bench/page_lists_bench.sh [build folder, default build/native]
set -euo pipefail

source "$(dirname "$0")/page_bench_lib.sh" "$@"

exec /usr/bin/python3 "$root/bench/page_lists_bench.py"
