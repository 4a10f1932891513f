#!/usr/bin/env bash
# An update download of 256 MiB from the local test service (tests/net/test_service.py, on
# 127.0.0.1) through pellanor-cli, against curl fetching the same body into the same folder.
# Prints the throughput ratio (target: at least 0.8 of curl's) and the peak memory growth of
# the download over a 1 KiB one (target: under 64 MiB; the body streams to disk).
# Usage: bench/download_bench.sh [build folder, default build/native] [MiB, default 256]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
mib=${2:-256}
bytes=$((mib * 1024 * 1024))
for tool in hyperfine curl python3; do
    command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install $tool)" >&2; exit 1; }
done
cmake --build "$build" --target pellanor-cli -j 2 >/dev/null
cli="$build/app/pellanor-cli"

# Memory-backed when there is room for two copies, so the disk does not set the pace.
base=/var/tmp
[[ $(df --output=avail -k /dev/shm | tail -1) -gt $((bytes / 1024 * 3)) ]] && base=/dev/shm
work=$(mktemp -d "$base/pellanor-download-bench.XXXXXX")
mkfifo "$work/hold"
service_pid=
cleanup() {
    [[ -n $service_pid ]] && kill "$service_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The service ends by itself when its input closes (the writer below) or after ten minutes.
python3 "$root/tests/net/test_service.py" --log "$work/requests.log" --lifetime 600 \
    <"$work/hold" >"$work/port" &
service_pid=$!
exec 3>"$work/hold"
for _ in $(seq 50); do [[ -s $work/port ]] && break; sleep 0.1; done
port=$(awk '{print $2}' "$work/port")
url="http://127.0.0.1:$port/bytes/$bytes"
export HOME="$work/home" APPDATA="$work/home/roaming" PELLANOR_REGISTRY_DIR="$work/home/registry"

hyperfine --warmup 1 --runs 5 --style basic --export-json "$work/times.json" \
    -n pellanor-cli "$cli downloadUpdate $url $work/pellanor.bin >/dev/null" \
    -n curl "curl -sS -o $work/curl.bin $url"
cmp "$work/pellanor.bin" "$work/curl.bin" && echo "same $mib MiB from both"

/usr/bin/time -f %M -o "$work/small.kib" "$cli" downloadUpdate \
    "http://127.0.0.1:$port/bytes/1024" "$work/small.bin" >/dev/null
/usr/bin/time -f %M -o "$work/large.kib" "$cli" downloadUpdate "$url" "$work/pellanor.bin" >/dev/null

python3 - "$work/times.json" "$mib" "$(cat "$work/small.kib")" "$(cat "$work/large.kib")" <<'PY'
import json, sys
results = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
mib, small, large = float(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
ours, curl = results["pellanor-cli"], results["curl"]
ratio = curl / ours
growth = (large - small) / 1024
print(f"pellanor-cli {mib / ours:.0f} MiB/s, curl {mib / curl:.0f} MiB/s: "
      f"ratio {ratio:.2f} (target >= 0.80) {'ok' if ratio >= 0.8 else 'MISSED'}")
print(f"peak memory {large / 1024:.1f} MiB vs {small / 1024:.1f} MiB for 1 KiB: growth "
      f"{growth:.1f} MiB (target < 64) {'ok' if growth < 64 else 'MISSED'}")
PY
