#!/usr/bin/env bash
# Deletes 50,000 small files in 500 folders through pellanor-cli's deletion job (each file
# checked against what a scan saw before it goes) and through `xargs -0 rm -f` on the same
# list, and prints the ratio (target: at most 2).
# Usage: bench/delete_files_bench.sh [build folder, default build/native]
set -euo pipefail

bench_name=delete-bench
source "$(dirname "$0")/cli_bench_lib.sh" "$@"
export APPDATA="$work/roaming"
tree="$work/tree"
# The tree is made afresh before each run, so the list of what "the scan saw" is written then
# too: identities and times are those of the new files.
cat >"$work/make_tree.py" <<'PY'
import json, os, sys
tree, entries, names = sys.argv[1:4]
facts = []
with open(names, "wb") as zero:
    for i in range(50000):
        folder = os.path.join(tree, "d%03d" % (i // 100))
        if i % 100 == 0:
            os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "f%05d.bin" % i)
        with open(path, "wb") as f:
            f.write(b"x" * (i % 2048))
        info = os.lstat(path)
        device = info.st_dev
        serial = (device ^ (device >> 32)) & 0xFFFFFFFF
        facts.append({"path": path, "size": info.st_size,
                      "modifiedMsecs": info.st_mtime_ns // 1000000,
                      "fileId": "%d:%d" % (serial, info.st_ino)})
        zero.write(path.encode() + b"\0")
with open(entries, "w") as out:
    json.dump(facts, out)
PY
fresh="rm -rf ${tree@Q} && python3 ${work@Q}/make_tree.py ${tree@Q} ${work@Q}/entries.json ${work@Q}/names"

hyperfine --runs "${PELLANOR_BENCH_RUNS:-5}" --export-json "$work/delete.json" \
    -n startDeleteFiles --prepare "$fresh" \
    "$cli startDeleteFiles @$work/entries.json '{}' >/dev/null" \
    -n xargs-rm --prepare "$fresh" "xargs -0 rm -f < ${work@Q}/names"

# The job must really have deleted them all.
eval "$fresh"
"$cli" startDeleteFiles "@$work/entries.json" '{}' | tail -n 1 | python3 -c '
import json, sys
report = json.loads(sys.stdin.read())
data = json.loads(report["data"])
assert report["type"] == "done" and data["succeeded"] == 50000, (report["type"], data["succeeded"])'
test -z "$(find "$tree" -type f | head -n 1)"

python3 - "$work/delete.json" <<'PY'
import json, sys
results = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
ours, peer = results["startDeleteFiles"], results["xargs-rm"]
ratio = ours / peer
print(f"50,000 files: startDeleteFiles {ours*1000:.0f} ms, xargs -0 rm -f {peer*1000:.0f} ms, "
      f"ratio {ratio:.2f} ({'within' if ratio <= 2 else 'over'} the 2 target)")
PY
