#!/usr/bin/env bash
# Times the WeChat measurement (getWechatItems through pellanor-cli) over a generated tree of
# 100,000 files in both layouts against `du -sb` on the same category folders, and prints the
# ratio (target: at most 1.5).
# Usage: bench/wechat_bench.sh [build folder, default build/native]
set -euo pipefail

bench_name=wechat-bench
source "$(dirname "$0")/cli_bench_lib.sh" "$@"
documents="$work/home/Documents"

# Files of 0 to 8 KiB in folders of 50: four classic accounts with conversation attachments and
# two newer ones, most of the bytes in images and cache as on a real machine. Prints the
# measured category folders, one a line.
python3 - "$documents" > "$work/folders" <<'PY'
import os, random, sys
random.seed(11)
documents = sys.argv[1]
plan = []
for n in range(4):
    storage = f"WeChat Files/wxid_classic{n}/FileStorage"
    plan += [(f"{storage}/Cache", 5000), (f"{storage}/Temp", 1000), (f"{storage}/Image", 6000),
             (f"{storage}/Video", 1000), (f"{storage}/File", 2000)]
    for chat in range(10):
        plan += [(f"{storage}/MsgAttach/chat{chat:02d}/Image", 300),
                 (f"{storage}/MsgAttach/chat{chat:02d}/File", 100)]
for n in range(2):
    account = f"xwechat_files/wxid_new{n}"
    plan += [(f"{account}/cache", 4000), (f"{account}/msg/attach", 5000),
             (f"{account}/msg/video", 1000), (f"{account}/msg/file", 2000)]
total = 0
for folder, count in plan:
    for i in range(count):
        sub = os.path.join(documents, folder, "d%03d" % (i // 50))
        os.makedirs(sub, exist_ok=True)
        with open(os.path.join(sub, "f%05d.bin" % i), "wb") as f:
            f.write(b"x" * random.randint(0, 8192))
    total += count
    print(os.path.join(documents, folder))
assert total == 100000, total
PY
mapfile -t folders < "$work/folders"
echo "files: $(find "$documents" -type f | wc -l)"

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" PELLANOR_REGISTRY_DIR="$work/registry"
mkdir -p "$PELLANOR_REGISTRY_DIR"

# The two must agree on the bytes before their times mean anything.
ours=$("$cli" getWechatItems | python3 -c \
    'import json,sys; print(sum(i["size"] for i in json.loads(json.load(sys.stdin))["list"]))')
files=$(find "${folders[@]}" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
echo "bytes: getWechatItems $ours, files $files"
[ "$ours" = "$files" ] || { echo "the measurement disagrees with find" >&2; exit 1; }

hyperfine --warmup 2 --runs 10 --export-json "$work/wechat.json" \
    -n getWechatItems "${cli@Q} getWechatItems" \
    -n du "du -sb ${folders[*]@Q}"

python3 - "$work/wechat.json" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
ours, du = results["getWechatItems"], results["du"]
ratio = ours["mean"] / du["mean"]
# On shared cores the wall clock also counts time spent waiting for a core; CPU time does not.
cpu = (ours["user"] + ours["system"]) / (du["user"] + du["system"])
print(f"getWechatItems: {ours['mean']*1000:.1f} ms, du: {du['mean']*1000:.1f} ms, "
      f"ratio {ratio:.2f} ({'within' if ratio <= 1.5 else 'over'} the 1.5 target); "
      f"CPU time ratio {cpu:.2f}")
PY
