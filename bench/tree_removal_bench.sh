#!/usr/bin/env bash
# Times the "temp" junk rule emptying a shared temporary folder (sticky, writable by all, as
# /tmp is) of 30,000 files in 600 folders, against `find -delete` on the same tree, and prints
# the ratio (target: at most 2; the rule pays for one /proc scan and a statx per entry).
# Usage: bench/tree_removal_bench.sh [build folder, default build/native]
set -euo pipefail

bench_name=tree-bench
source "$(dirname "$0")/cli_bench_lib.sh" "$@"
python3 - "$work/template" <<'PY'
import os, sys
root = sys.argv[1]
for i in range(30000):
    folder = os.path.join(root, "d%03d" % (i // 50))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%05d.tmp" % i), "wb") as f:
        f.write(b"x" * (i % 4096))
PY
chmod 1777 "$work/template"
temp="$work/temp"
export TEMP="$temp" APPDATA="$work/roaming"
fresh="rm -rf ${temp@Q} && cp -a ${work@Q}/template ${temp@Q}"

hyperfine --runs "${PELLANOR_BENCH_RUNS:-7}" --export-json "$work/clean.json" \
    -n cleanPrivacyItems --prepare "$fresh" "$cli cleanPrivacyItems '[\"temp\"]'" \
    -n find-delete --prepare "$fresh" "find ${temp@Q} -mindepth 1 -delete"

python3 - "$work/clean.json" <<'PY'
import json, sys
results = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
ours, peer = results["cleanPrivacyItems"], results["find-delete"]
ratio = ours / peer
print(f"cleanPrivacyItems temp: {ours*1000:.1f} ms, find -delete: {peer*1000:.1f} ms, "
      f"ratio {ratio:.2f} ({'within' if ratio <= 2 else 'over'} the 2 target)")
PY
