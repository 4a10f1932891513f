#!/usr/bin/env bash
# The incremental scan rows against their whole-result twins, through pellanor-cli (which prints
# every report, as a page receives it): wall time, peak memory and the report text sent, for a
# large-file scan of 60,000 sparse files and a duplicate scan of a tree with a few thousand
# groups. Interleaved rounds (whole, incremental, whole, ...) so load hits both alike; prints
# medians and the incremental/whole ratio (target: below 1 for all three).
#
# Usage: bench/incremental_reports_bench.sh [corpus-folder]   (default /var/tmp/pellanor-bench;
#        the trees are generated there if missing). Needs a native build.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
base=${1:-/var/tmp/pellanor-bench}
cli="$root/build/native/app/pellanor-cli"
runs=${PELLANOR_BENCH_RUNS:-5}
results=$(mktemp -d /tmp/pellanor-bench.XXXXXX)
trap 'rm -rf "$results"' EXIT

[[ -x "$cli" ]] || { echo "needs $cli: scripts/build.sh native pellanor-cli" >&2; exit 1; }
large="$base/reports-large"
dups="$base/reports-dups"
[[ -d "$large" ]] || python3 "$here/generate_corpus.py" "$large" --no-hash-file --files 60000 \
    --sparse-min $((60 * 1024 * 1024))
[[ -d "$dups" ]] || python3 "$here/generate_corpus.py" "$dups" --no-hash-file --files 12000 \
    --scale 0.02 --copies 0.45
find "$dups" -type f -exec cat {} + >/dev/null  # a warm page cache for every run

# One run: "seconds peak-KiB report-bytes" appended to $results/<label>.txt.
measure() {  # label, then the CLI arguments
    local label=$1
    shift
    /usr/bin/time -f '%e %M' -o "$results/time.txt" "$cli" "$@" >"$results/out.txt"
    echo "$(cat "$results/time.txt") $(wc -c <"$results/out.txt")" >>"$results/$label.txt"
}

for ((round = 0; round <= runs; round++)); do
    for kind in whole incremental; do
        suffix=$([[ $kind == incremental ]] && echo Incremental || true)
        measure "large-$kind" "startScanLargeFiles$suffix" "$large" 52428800
        measure "dups-$kind" "startScanDuplicateFiles$suffix" "$dups"
    done
    # The first round warms the caches and is dropped.
    ((round > 0)) || rm -f "$results"/*-*.txt
done

echo "== whole-result vs incremental reports (pellanor-cli, $runs interleaved rounds, medians;" \
    "load $(cut -d' ' -f1-3 /proc/loadavg))"
python3 - "$results" <<'EOF'
import statistics, sys
folder = sys.argv[1]
def medians(label):
    rows = [list(map(float, line.split())) for line in open('%s/%s.txt' % (folder, label))]
    return [statistics.median(column) for column in zip(*rows)]
for scan, title in (('large', 'large files'), ('dups', 'duplicates')):
    whole, incremental = medians(scan + '-whole'), medians(scan + '-incremental')
    print('%-20s %-12s %9s %12s %14s' % (title, '', 'time s', 'peak MiB', 'reports MB'))
    for name, row in (('whole', whole), ('incremental', incremental)):
        print('%-20s %-12s %9.2f %12.1f %14.2f' % ('', name, row[0], row[1] / 1024, row[2] / 1e6))
    print('%-20s %-12s %9.2f %12.2f %14.3f' % ('', 'ratio', incremental[0] / whole[0],
                                               incremental[1] / whole[1], incremental[2] / whole[2]))
EOF
