#!/usr/bin/env bash
# The POSIX registry store: 10,000 values set one call each into one key, then read back one by
# one and enumerated, in a fresh process each. Run twice: on the disk (appends are not synced,
# only the few compactions wait for the disk; its sync latency is printed for reference) and on
# tmpfs, where syncs are free and the figure is the store's own cost. Target on both: the write
# and the read together well under 2 s.
# Usage: bench/registry_bench.sh [build folder, default build/native] [value count, 10000]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
count=${2:-10000}
command -v hyperfine >/dev/null || { echo "needs hyperfine: apt-get install hyperfine" >&2; exit 1; }
cmake --build "$build" --target registry_bench -j 2 >/dev/null
bench="$build/bench/registry/registry_bench"

disk=$(mktemp -d /var/tmp/pellanor-registry-bench.XXXXXX)
memory=$(mktemp -d /dev/shm/pellanor-registry-bench.XXXXXX)
trap 'rm -rf "$disk" "$memory"' EXIT

sync_latency() {
    python3 - "$1" <<'PY'
import os, sys, time
fd = os.open(os.path.join(sys.argv[1], "sync-probe"), os.O_WRONLY | os.O_CREAT | os.O_APPEND)
start = time.monotonic()
for _ in range(200):
    os.write(fd, b"x" * 180)
    os.fdatasync(fd)
print("%.2f ms" % ((time.monotonic() - start) / 200 * 1000))
PY
}

for folder in "$disk" "$memory"; do
    echo "== $(df --output=fstype "$folder" | tail -1) ($folder), one fdatasync: $(sync_latency "$folder")"
    export PELLANOR_REGISTRY_DIR="$folder/store"
    /usr/bin/time -f "   %e s wall, %U s user, %S s system, %M KiB peak" "$bench" write "$count"
    echo "   hive file: $(stat -c %s "$PELLANOR_REGISTRY_DIR/HKEY_CURRENT_USER.reg") bytes"
    /usr/bin/time -f "   %e s wall, %U s user, %S s system, %M KiB peak" "$bench" read "$count"
done

# Reading is repeatable, so it gets hyperfine's statistics (tmpfs store from above).
hyperfine --warmup 2 --runs 10 --style basic -n "read $count values (tmpfs)" \
    "$bench read $count"
