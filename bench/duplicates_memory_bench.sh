#!/usr/bin/env bash
# The duplicate search's peak memory and time against jdupes, on each tree given: peak RSS
# (/usr/bin/time -f %M) of the blocking search, of the asynchronous scan followed to its final
# report, of pellanor-cli doing nothing (its libraries alone) and of jdupes; warm-cache times
# with hyperfine; cold-cache times with the page cache dropped before every run (as root). Runs
# are interleaved (ours, jdupes, ours, ...) so load from other processes hits both alike; the
# medians' ratios are printed with their targets, and the load average beside them.
#
# Usage: bench/duplicates_memory_bench.sh [tree...]   (default: the bench corpus and /usr)
# PELLANOR_BENCH_RUNS rounds (default 5); PELLANOR_CLI another pellanor-cli (an older build, to
# compare); PELLANOR_BENCH_COLD=0 skips the cold runs, which
# empty the page cache of the whole machine.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
cli=${PELLANOR_CLI:-$root/build/native/app/pellanor-cli}
runs=${PELLANOR_BENCH_RUNS:-5}
cold=${PELLANOR_BENCH_COLD:-1}
results=$(mktemp -d /tmp/pellanor-dupmem.XXXXXX)
trap 'rm -rf "$results"' EXIT

command -v jdupes >/dev/null && command -v hyperfine >/dev/null || "$here/setup.sh"
[[ -x "$cli" ]] || { echo "build first: scripts/build.sh native" >&2; exit 1; }
trees=("$@")
if ((${#trees[@]} == 0)); then
    trees=(/var/tmp/pellanor-bench/corpus /usr)
    [[ -d ${trees[0]} ]] || python3 "$here/generate_corpus.py" "${trees[0]}"
fi
if [[ $cold == 1 && $(id -u) != 0 ]]; then
    echo "cold runs need root to drop the page cache; skipped" >&2
    cold=0
fi

peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

seconds() {  # wall and CPU (user + system) seconds of one run; extra hyperfine options first
    hyperfine --style none --runs 1 --export-json "$results/one.json" "$@" >/dev/null 2>&1
    python3 -c 'import json,sys; r = json.load(open(sys.argv[1]))["results"][0]
print(r["mean"], r["user"] + r["system"])' "$results/one.json"
}

median() { sort -g | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

ratio_line() {  # label, ours, theirs, target ("-" for none)
    python3 -c 'import sys
label, ours, theirs, target = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), sys.argv[4]
r = ours / theirs
verdict = "" if target == "-" else "target <= %-4s %s" % (target, "met" if r <= float(target) else "NOT MET")
print(f"  {label:<40} {ours:10.3f} / {theirs:10.3f} = {r:5.2f}  {verdict}")' "$@"
}

check_groups() {  # tree: our groups must be jdupes' (told to group empty files, as we do)
    "$cli" findDuplicateFiles "$1" |
        python3 -c 'import json, sys; sys.stdout.write(json.loads(sys.stdin.read()))' \
            >"$results/ours.json"
    jdupes -r -A -z -q "$1" >"$results/jdupes.txt" 2>/dev/null || true
    python3 "$here/compare_groups.py" "$results/ours.json" "$results/jdupes.txt" || true
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "pellanor-cli doing nothing: $(peak_kb "$cli" findDuplicateFiles '') KB peak RSS"
for tree in "${trees[@]}"; do
    echo "== $tree ($(find "$tree" -type f 2>/dev/null | wc -l) files)"
    check_groups "$tree"
    : >"$results/mem"
    : >"$results/warm"
    for ((round = 0; round < runs; round++)); do
        echo "ours $(peak_kb "$cli" findDuplicateFiles "$tree")" >>"$results/mem"
        echo "async $(peak_kb "$cli" startScanDuplicateFiles "$tree")" >>"$results/mem"
        echo "jdupes $(peak_kb jdupes -r -q -A "$tree")" >>"$results/mem"
    done
    for ((round = 0; round <= runs; round++)); do  # the first round warms the cache
        ours=$(seconds "$cli findDuplicateFiles $tree")
        async=$(seconds "$cli startScanDuplicateFiles $tree")
        theirs=$(seconds "jdupes -r -q -A $tree")
        ((round > 0)) && printf 'ours %s\nasync %s\njdupes %s\n' "$ours" "$async" "$theirs" \
            >>"$results/warm"
    done
    pick() { awk -v k="$1" -v c="${3:-2}" '$1 == k {print $c}' "$2" | median; }
    echo "peak RSS, MB (median of $runs):"
    for who in ours async; do
        ratio_line "$who / jdupes" "$(pick "$who" "$results/mem" | awk '{print $1/1024}')" \
            "$(pick jdupes "$results/mem" | awk '{print $1/1024}')" 2
    done
    echo "warm time, s (median of $runs; load $(cut -d' ' -f1 /proc/loadavg)):"
    for who in ours async; do
        ratio_line "$who / jdupes" "$(pick "$who" "$results/warm")" \
            "$(pick jdupes "$results/warm")" 0.6
    done
    # On a loaded machine the cores are shared and wall times follow CPU time more than the
    # work's spread over the cores; CPU time is printed beside them for that reason.
    echo "warm CPU time (user + system), s, for comparison under load:"
    for who in ours async; do
        ratio_line "$who / jdupes" "$(pick "$who" "$results/warm" 3)" \
            "$(pick jdupes "$results/warm" 3)" -
    done
    if [[ $cold == 1 ]]; then
        : >"$results/cold"
        drop='sync; echo 3 > /proc/sys/vm/drop_caches'
        for ((round = 0; round < runs; round++)); do
            echo "ours $(seconds --prepare "$drop" "$cli findDuplicateFiles $tree")" >>"$results/cold"
            echo "jdupes $(seconds --prepare "$drop" "jdupes -r -q -A $tree")" >>"$results/cold"
        done
        echo "cold time, s (median of $runs; load $(cut -d' ' -f1 /proc/loadavg)):"
        ratio_line "ours / jdupes" "$(pick ours "$results/cold")" \
            "$(pick jdupes "$results/cold")" 0.5
    fi
done
