#!/usr/bin/env bash
# Times getInstalledPrograms through pellanor-cli over 500 generated uninstall entries in a
# private registry store, and prints PASS or FAIL against the target of 0.2 s per call.
# Usage: bench/installed_programs_bench.sh [build folder, default build/native]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
target_ms=200
command -v hyperfine >/dev/null || { echo "needs hyperfine: apt-get install hyperfine" >&2; exit 1; }
cmake --build "$build" --target pellanor-cli -j 2 >/dev/null
cli="$build/app/pellanor-cli"

work=$(mktemp -d /tmp/pellanor-programs-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/registry" "$work/home"

# 500 entries as installers leave them: half in the 64-bit view, half in the 32-bit one, every
# fifth an installer product, icons that mostly do not exist so the icon search runs its
# fallbacks, and a few updates and components that are read and then hidden.
python3 - "$work/registry/HKEY_LOCAL_MACHINE.reg" <<'PY'
import random, sys
random.seed(11)
uninstall = r"Software\Microsoft\Windows\CurrentVersion\Uninstall"
lines = ["Windows Registry Editor Version 5.00", ""]
for i in range(500):
    view = uninstall if i % 2 == 0 else r"Software\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall"
    code = "{%08X-%04X-%04X-%04X-%012X}" % tuple(random.getrandbits(b) for b in (32, 16, 16, 16, 48))
    msi = i % 5 == 0
    lines.append(r"[HKEY_LOCAL_MACHINE\%s\%s]" % (view, code if msi else "Program%03d" % i))
    values = {
        "DisplayName": "Program %03d" % i,
        "Publisher": "Publisher %d" % (i % 37),
        "DisplayVersion": "%d.%d.%d" % (i % 9, i % 13, i),
        "InstallDate": "2024%02d%02d" % (i % 12 + 1, i % 28 + 1),
        "UninstallString": ("MsiExec.exe /X" + code) if msi else
                           r"\"C:\\Program Files\\Program %03d\\uninstall.exe\" /S" % i,
        "InstallLocation": r"C:\\Program Files\\Program %03d\\" % i,
        "DisplayIcon": r"\"C:\\Program Files\\Program %03d\\app.exe\",0" % i,
    }
    for name, text in values.items():
        lines.append('"%s"="%s"' % (name, text))
    lines.append('"EstimatedSize"=dword:%08x' % random.randint(100, 900000))
    if msi:
        lines.append('"WindowsInstaller"=dword:00000001')
    if i % 50 == 7:
        lines.append('"ReleaseType"="Update"')
    if i % 50 == 9:
        lines.append('"SystemComponent"=dword:00000001')
    lines.append("")
open(sys.argv[1], "w", encoding="utf-8").write("\r\n".join(lines))
PY

export HOME="$work/home" PELLANOR_REGISTRY_DIR="$work/registry" PELLANOR_DRIVES="C=$work/c"
export APPDATA="$work/home/roaming"
listed=$("$cli" getInstalledPrograms | python3 -c 'import json,sys; print(len(json.loads(json.loads(sys.stdin.read()))["list"]))')
echo "entries: 500, listed: $listed"

hyperfine --warmup 2 --runs 15 --export-json "$work/programs.json" \
    -n getInstalledPrograms "${cli@Q} getInstalledPrograms"
python3 - "$work/programs.json" "$target_ms" <<'PY'
import json, sys
result = json.load(open(sys.argv[1]))["results"][0]
target = float(sys.argv[2])
mean_ms = result["mean"] * 1000
verdict = "PASS" if mean_ms <= target else "FAIL"
print(f"getInstalledPrograms over 500 entries: {mean_ms:.1f} ms (target {target:.0f} ms): {verdict}")
PY
