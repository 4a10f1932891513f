#!/usr/bin/env bash
# Time from starting the program to the main page's "main page ready" log line, under a virtual
# display (target: 1.5 s). Each cold run gets a fresh profile, so the page cache is empty; warm
# runs start again on the profile of the first run. Prints every run and the medians.
# Usage: bench/page_start_bench.sh [runs, default 5] [build folder, default build/native]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
build=${2:-$root/build/native}
[[ -x "$build/app/Pellanor" ]] || { echo "build the program first: $build/app/Pellanor" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "needs xvfb: apt-get install xvfb" >&2; exit 1; }

PELLANOR_BUILD_DIR="$build" PELLANOR_E2E_NESTED=1 \
xvfb-run -a -s "-screen 0 1280x800x24" /usr/bin/python3 - "$runs" "$root" <<'PY'
import glob, os, shutil, statistics, subprocess, sys, tempfile, time
runs, root = int(sys.argv[1]), sys.argv[2]
sys.path.insert(0, os.path.join(root, 'tests', 'pages', 'e2e'))
import harness

def start_once(profile_root):
    profile = harness.Profile(os.path.join(profile_root, 'profile'))
    if not os.path.isdir(profile.home):
        profile.build()
    env = profile.environment(os.path.join(profile_root, 'run'))
    logs = os.path.join(profile.roaming, '**', '*.log')
    seen = sum(open(p, 'rb').read().count(b'main page ready') for p in glob.glob(logs, recursive=True))
    begun = time.monotonic()
    process = subprocess.Popen([harness.PROGRAM, 'LANG=en-us'], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        while time.monotonic() - begun < 30:
            count = sum(open(p, 'rb').read().count(b'main page ready') for p in glob.glob(logs, recursive=True))
            if count > seen:
                return time.monotonic() - begun
            time.sleep(0.005)
        raise SystemExit('no ready line within 30 s')
    finally:
        process.terminate()
        process.wait(10)
        try:
            os.killpg(process.pid, 9)  # the engine's helper processes
        except ProcessLookupError:
            pass

work = tempfile.mkdtemp(prefix='pellanor-start-bench-')
try:
    cold = [start_once(os.path.join(work, 'cold%d' % i)) for i in range(runs)]
    warm = [start_once(os.path.join(work, 'cold0')) for _ in range(runs)]
finally:
    shutil.rmtree(work, ignore_errors=True)
print('cold starts: ' + ', '.join('%.2f s' % t for t in cold))
print('warm starts: ' + ', '.join('%.2f s' % t for t in warm))
print('median to main page ready: cold %.2f s, warm %.2f s (target 1.5 s)'
      % (statistics.median(cold), statistics.median(warm)))
PY
