"""The measuring half of page_long_tasks_bench.sh: runs inside the virtual display."""
import os
import sys
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests',
                                'pages', 'e2e'))
import harness  # noqa: E402
import long_tasks  # noqa: E402

MIB = 1024 * 1024


def line(label, result):
    tasks = result['tasks']
    over = [t for t in tasks if t['duration'] > 50]
    ours = [t for t in over if t['ours'] > 50]
    longest = max(tasks, key=lambda t: t['duration']) if tasks else None
    print('%-34s longest task %5s ms; over 50 ms: %3d (%d steady), of which our scripts '
          'over 50 ms: %d' % (label, longest['duration'] if longest else '-', len(over),
                              sum(1 for t in over if t['steady']), len(ours)))
    for name, span in sorted(result['spans'].items()):
        print('%-34s   page %-8s %5d calls, longest %6.1f ms, total %7.1f ms' % (
            '', name, span['count'], span['longest'], span['total']))
    for task in sorted(over, key=lambda t: -t['duration'])[:5]:
        print('%-34s   task at %6d ms: %4d ms, ours %4d ms (%s)' % (
            '', task['start'], task['duration'], task['ours'], task['what'] or 'none of ours'))


harness.ensure_display()
with harness.Session('en-us') as session:
    large = os.path.join(session.profile.root, 'corpus-large')
    dups = os.path.join(session.profile.root, 'corpus-dups')
    long_tasks.generate(large, '--files', 60000, '--sparse-min', 60 * MIB)
    long_tasks.generate(dups, '--files', 12000, '--scale', 0.02, '--copies', 0.45)
    page = session.main
    result = long_tasks.live_scan(session, 'large', 'large.folders', [{'path': large}], min_mb=50)
    rows = page.eval('App.section("large").debug.state.files.length')
    line('live large scan (%d files)' % rows, result)
    result = long_tasks.live_scan(session, 'dup', 'dup.folders',
                                  [{'path': dups, 'protected': False}])
    groups = page.eval('App.section("dup").debug.state.groups.length')
    line('live duplicate scan (%d groups)' % groups, result)
    size = long_tasks.replay(page, rows=60000, steps=8)
    replayed = long_tasks.summary(page)
    line('replay of 60,000 rows (%.1f MB)' % (size / 1e6), replayed)
    print('%-34s   final report to its rows painted: %.0f ms (target 300)' % (
        '', replayed['finalRendered'] or 0))
    long_tasks.wheel(page)
    line('wheel scroll of 60,000 rows', long_tasks.summary(page))
