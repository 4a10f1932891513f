#!/usr/bin/env bash
# Times the scanners against the peer tools side by side on one generated corpus (warm cache)
# and prints each ratio with its target. The scanners run through pellanor-cli, as users script
# them.
#
# Usage: bench/run.sh [corpus-folder]   (default /var/tmp/pellanor-bench/corpus; generated if
#        missing). Needs bench/setup.sh and a native build (scripts/build.sh native).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
corpus=${1:-/var/tmp/pellanor-bench/corpus}
cli="$root/build/native/app/pellanor-cli"
results=$(mktemp -d /tmp/pellanor-bench.XXXXXX)
trap 'rm -rf "$results"' EXIT
runs=${PELLANOR_BENCH_RUNS:-7}

"$here/setup.sh"
[[ -x "$cli" ]] || cmake --build "$root/build/native" --target pellanor-cli
[[ -d "$corpus" ]] || python3 "$here/generate_corpus.py" "$corpus"
big_file="$corpus-sha/one-gigabyte.bin"

# Warm the page cache once so every tool reads from memory.
find "$corpus" "$big_file" -type f -exec cat {} + >/dev/null

# Times the commands of one comparison in interleaved rounds (a, b, c, a, b, c, ...) after one
# warm-up round, so load from other processes on a shared machine hits all of them alike. Each
# timing is one hyperfine run; print_ratios.py compares medians.
time_commands() {  # name, then commands; timings go to $results/<name>.txt, one line per run
    local name=$1
    shift
    local round index command
    for ((round = 0; round <= runs; round++)); do
        index=0
        for command in "$@"; do
            hyperfine --style none --runs 1 --export-json "$results/one.json" "$command" \
                >/dev/null 2>&1
            if ((round > 0)); then
                python3 -c 'import json,sys; print(sys.argv[2], json.load(open(sys.argv[1]))["results"][0]["mean"])' \
                    "$results/one.json" "$index" >>"$results/$name.txt"
            fi
            index=$((index + 1))
        done
    done
}

echo "== checking duplicate groups against the peers"
# The CLI prints the result text as a JSON string; the document is inside it.
"$cli" findDuplicateFiles "$corpus" |
    python3 -c 'import json, sys; sys.stdout.write(json.loads(sys.stdin.read()))' >"$results/ours.json"
# Peers told to skip hidden files (as the scanners do) and to group empty files too.
jdupes -r -A -z -q "$corpus" >"$results/jdupes.txt" 2>/dev/null
fdupes -q -r -A "$corpus" >"$results/fdupes.txt" 2>/dev/null
python3 "$here/compare_groups.py" "$results/ours.json" "$results/jdupes.txt" "$results/fdupes.txt"

echo "== timing (warm cache, $runs interleaved rounds, medians)"
time_commands duplicates \
    "$cli findDuplicateFiles $corpus" \
    "jdupes -r -A -z -q $corpus" \
    "rdfind -checksum sha256 -makeresultsfile false $corpus" \
    "rmlint -T df -o fdupes:$results/rmlint.txt $corpus" \
    "fdupes -r -A $corpus"
time_commands large \
    "$cli scanLargeFiles $corpus 10485760" \
    "find $corpus -size +10M -printf '%s %p\n'"
time_commands async \
    "$cli startScanDuplicateFiles $corpus" \
    "$cli findDuplicateFiles $corpus" \
    "$cli startScanLargeFiles $corpus 10485760" \
    "$cli scanLargeFiles $corpus 10485760" \
    "nice -n 4 $cli findDuplicateFiles $corpus"
time_commands sha256 \
    "$cli getFileSha256 $big_file" \
    "openssl dgst -sha256 $big_file"

python3 "$here/print_ratios.py" "$results"
