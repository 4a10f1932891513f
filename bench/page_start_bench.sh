#!/usr/bin/env bash
# Time from starting the program to the main page's "main page ready" log line, under a virtual
# display (targets: 1.0 s warm, 2.0 s for the first start after boot). Three kinds of start:
#   warm   the same profile again, the program's files in the page cache;
#   cold   a fresh profile (no shader or engine caches yet), the files still cached;
#   boot   a fresh profile after dropping the page cache, as the first start after boot (root
#          only: it writes /proc/sys/vm/drop_caches; others get the first two kinds).
# Several build folders are measured side by side, one start of each in turn, so that the load
# of the machine weighs on all of them alike. Prints every run, the medians and the load average.
# Usage: bench/page_start_bench.sh [runs, default 5] [build folder ..., default build/native]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
shift || true
builds=("$@")
[[ ${#builds[@]} -gt 0 ]] || builds=("$root/build/native")
for build in "${builds[@]}"; do
    [[ -x "$build/app/Pellanor" ]] || { echo "build the program first: $build/app/Pellanor" >&2; exit 1; }
done
command -v xvfb-run >/dev/null || { echo "needs xvfb: apt-get install xvfb" >&2; exit 1; }

PELLANOR_E2E_NESTED=1 \
xvfb-run -a -s "-screen 0 1280x800x24" /usr/bin/python3 - "$runs" "$root" "${builds[@]}" <<'PY'
import glob, os, shutil, statistics, subprocess, sys, tempfile, time
runs, root, builds = int(sys.argv[1]), sys.argv[2], [os.path.abspath(b) for b in sys.argv[3:]]
sys.path.insert(0, os.path.join(root, 'tests', 'pages', 'e2e'))
import harness

can_drop = os.geteuid() == 0 and os.access('/proc/sys/vm/drop_caches', os.W_OK)

def drop_page_cache():
    subprocess.run(['sync'], check=True)
    with open('/proc/sys/vm/drop_caches', 'w') as control:
        control.write('3\n')

def ready_lines(logs):
    return sum(open(p, 'rb').read().count(b'main page ready') for p in glob.glob(logs, recursive=True))

def start_once(build, profile_root, drop=False):
    profile = harness.Profile(os.path.join(profile_root, 'profile'))
    if not os.path.isdir(profile.home):
        profile.build()
    env = profile.environment(os.path.join(profile_root, 'run'))
    logs = os.path.join(profile.roaming, '**', '*.log')
    seen = ready_lines(logs)
    if drop:
        drop_page_cache()
    begun = time.monotonic()
    process = subprocess.Popen([os.path.join(build, 'app', 'Pellanor'), 'LANG=en-us'], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               start_new_session=True)
    try:
        while time.monotonic() - begun < 30:
            if ready_lines(logs) > seen:
                return time.monotonic() - begun
            time.sleep(0.005)
        raise SystemExit('no ready line within 30 s: ' + build)
    finally:
        process.terminate()
        process.wait(10)
        try:
            os.killpg(process.pid, 9)  # the engine's helper processes
        except ProcessLookupError:
            pass

kinds = ['warm', 'cold'] + (['boot'] if can_drop else [])
times = {(b, k): [] for b in builds for k in kinds}
work = tempfile.mkdtemp(prefix='pellanor-start-bench-')
try:
    for i, build in enumerate(builds):
        start_once(build, os.path.join(work, 'warm%d' % i))  # the profile the warm starts reuse
    for run in range(runs):
        for i, build in enumerate(builds):
            times[build, 'warm'].append(start_once(build, os.path.join(work, 'warm%d' % i)))
            times[build, 'cold'].append(start_once(build, os.path.join(work, 'cold%d-%d' % (i, run))))
            if can_drop:
                times[build, 'boot'].append(
                    start_once(build, os.path.join(work, 'boot%d-%d' % (i, run)), drop=True))
finally:
    shutil.rmtree(work, ignore_errors=True)

for build in builds:
    print(build)
    for kind in kinds:
        print('  %s starts: %s' % (kind, ', '.join('%.2f s' % t for t in times[build, kind])))
    medians = ', '.join('%s %.2f s' % (k, statistics.median(times[build, k])) for k in kinds)
    print('  median to main page ready: %s (targets: warm 1.0 s, first start after boot 2.0 s)'
          % medians)
if not can_drop:
    print('first start after boot not measured: dropping the page cache needs root')
if len(builds) > 1:
    base = builds[0]
    for build in builds[1:]:
        print('%s against %s: %s' % (build, base, ', '.join('%s %.2fx' % (k, statistics.median(times[build, k]) /
                                                          statistics.median(times[base, k]))
                                                for k in kinds)))
print('load average: ' + ' '.join(open('/proc/loadavg').read().split()[:3]))
PY
