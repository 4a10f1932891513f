#!/usr/bin/env bash
# Times the junk list and the folder size over a generated profile of about 60,000 files
# against `du -sb` on the same folders, and prints the ratios (target: at most 1.5).
# Usage: bench/junk_bench.sh [build folder, default build/native]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
command -v hyperfine >/dev/null || { echo "needs hyperfine: apt-get install hyperfine" >&2; exit 1; }
cmake --build "$build" --target junk_bench -j 2 >/dev/null
bench="$build/bench/junk/junk_bench"

work=$(mktemp -d /tmp/pellanor-junk-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
profile="$work/profile"

# Files of 0 to 8 KiB in folders of 50, spread over the measured categories as a real profile
# would be: mostly temp files and browser cache.
python3 - "$profile" <<'PY'
import os, random, sys
random.seed(7)
root = sys.argv[1]
plan = {
    "Temp": 30000,
    "Local/Google/Chrome/User Data/Default/Cache/Cache_Data": 12000,
    "Local/Microsoft/Edge/User Data/Default/Cache/Cache_Data": 8000,
    "Local/Mozilla/Firefox/Profiles/ab12.default-release/cache2/entries": 5000,
    "Roaming/Microsoft/Windows/Recent": 3000,
    "C/Windows/Prefetch": 2000,
}
for folder, count in plan.items():
    for i in range(count):
        sub = os.path.join(root, folder, "d%03d" % (i // 50) if count > 3000 else "")
        os.makedirs(sub, exist_ok=True)
        with open(os.path.join(sub, "f%05d.bin" % i), "wb") as f:
            f.write(b"x" * random.randint(0, 8192))
os.makedirs(os.path.join(root, "Local/Microsoft/Windows/Explorer"), exist_ok=True)
os.makedirs(os.path.join(root, "Data/Trash/files"), exist_ok=True)
PY
echo "files: $(find "$profile" -type f | wc -l)"

export LOCALAPPDATA="$profile/Local" APPDATA="$profile/Roaming" TEMP="$profile/Temp"
export XDG_DATA_HOME="$profile/Data" PELLANOR_DRIVES="C=$profile/C"
measured=("$profile/Temp" "$profile/Local" "$profile/Roaming/Microsoft/Windows/Recent"
          "$profile/C/Windows/Prefetch" "$profile/Data/Trash/files")

hyperfine --warmup 2 --runs 10 --export-json "$work/items.json" \
    -n getPrivacyItems "$bench items" \
    -n du "du -sb ${measured[*]@Q}"
hyperfine --warmup 2 --runs 10 --export-json "$work/size.json" \
    -n computeFolderSize "$bench size ${profile@Q}" \
    -n du "du -sb ${profile@Q}"

python3 - "$work/items.json" "$work/size.json" <<'PY'
import json, sys
for path in sys.argv[1:]:
    results = {r["command"]: r["mean"] for r in json.load(open(path))["results"]}
    ours = next(name for name in results if name != "du")
    ratio = results[ours] / results["du"]
    print(f"{ours}: {results[ours]*1000:.1f} ms, du: {results['du']*1000:.1f} ms, "
          f"ratio {ratio:.2f} ({'within' if ratio <= 1.5 else 'over'} the 1.5 target)")
PY
