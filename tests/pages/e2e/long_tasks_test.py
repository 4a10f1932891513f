"""The main page stays responsive under a 60,000-file scan: reports, each carrying only what is
new, are folded in order within short tasks, and scrolling the final table renders only the
visible rows.

Only what the page controls is asserted: the time spent in our own entry points per task (a
progress report read and painted, a render of the rows). The engine's delivery of a report
(a script of several MB), style, layout and garbage collection also make long tasks on a busy
machine; bench/page_long_tasks_bench.sh prints all of them. Our spans get a margin of 2x the
50 ms budget, because this runs on a shared two-core machine where a 20 ms slice can be
stretched; on a quiet machine they stay under 20 ms."""
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import long_tasks  # noqa: E402

MARGIN_MS = 100

# Event streams as the native worker sends them, and what the session must make of them: the
# data folded, in order (each report's "n"), and the one end with its data's "n" (None: no data).
SESSIONS = [
    ('a burst of reports, then done',
     [('progress', {'n': i}) for i in range(40)] + [('done', {'n': 40})], list(range(41)), ['done', 40]),
    ('stopped', [('progress', {'n': 0}), ('stopped', {'n': 1})], [0, 1], ['stopped', 1]),
    ('an error report', [('progress', {'n': 0}), ('error', None)], [0], ['error', None]),
    ('an unreadable final report', [('progress', {'n': 0}), ('done', 'x{')], [0], ['done', None]),
    ('an unreadable report is skipped', [('progress', '{"n": '), ('progress', {'n': 1}),
                                         ('done', {'n': 2})], [1, 2], ['done', 2]),
    ('reports after the end are ignored', [('done', {'n': 0}), ('progress', {'n': 1})], [0], ['done', 0]),
]

SESSION = r"""(async (events) => {
    const folded = [];
    const ends = [];
    let callback = null;
    const session = new ScanSession({
        start: (cb) => { callback = cb; return 7; }, stop: () => true, add: () => true,
        fold: (data) => folded.push(data.n), onProgress: () => {},
        onEnd: (type, data) => ends.push([type, data ? data.n : null])});
    session.begin();
    // All in one task: the worst burst a page may meet.
    for (const [type, data] of events) {
        callback({type, id: 7, data: typeof data === 'string' ? data : JSON.stringify(data)});
    }
    while (session.running) await new Promise((r) => setTimeout(r, 5));
    await new Promise((r) => setTimeout(r, 150));
    return {folded, ends, running: session.running};
})(EVENTS)"""


def every_report_is_folded_in_order_and_the_scan_ends_once():
    with harness.Session('en-us') as session:
        page = session.main
        for label, events, folded, end in SESSIONS:
            got = page.eval(SESSION.replace('EVENTS', json.dumps(events)))
            assert got['folded'] == folded, '%s: folded %r' % (label, got['folded'])
            assert got['ends'] == [end], '%s: ended %r' % (label, got['ends'])
            assert not got['running'], label


# A duplicate scan's reports handed to the section's session as the native worker sends them:
# groups in reports of at most 2,000 files, some sent again with more files, empty and
# single-file groups among them. Shown at the end: the last version of every group, largest
# first, with the files of a protected folder marked, empty and single-file groups left out.
DUP_REPORTS = r"""(async () => {
    const section = App.section('dup').debug;
    PellanorUI.show('dup', 'empty');
    section.chips.folders = [{path: 'C:/Users/Alex/Pictures/set1', protected: true},
                             {path: 'C:/Users/Alex/Pictures', protected: false}];
    const group = (g, copies) => {
        const size = g % 500 === 7 ? 0 : 1000 + (g * 7919) % 5000000;
        const files = [];
        for (let c = 0; c < copies; ++c) {
            files.push({path: 'C:/Users/Alex/Pictures/set' + c + '/img"}' + g + '.jpg',
                        name: 'img' + g + '.jpg', size, modifiedTime: '2024-0' + (1 + c) + '-01 09:00'});
        }
        return {files, hash: g.toString(16).padStart(64, '0'), size};
    };
    const last = new Map();
    const sends = [];
    for (let g = 0; g < 4000; ++g) sends.push(group(g, g % 250 === 3 ? 1 : 2 + g % 3));
    for (let g = 0; g < 4000; g += 13) sends.push(group(g, 5));
    for (const g of sends) last.set(g.hash, g);
    const reports = [];
    let part = [];
    let rows = 0;
    for (const g of sends) {
        if (rows + g.files.length > 2000) {
            reports.push(part);
            part = [];
            rows = 0;
        }
        part.push(g);
        rows += g.files.length;
    }
    reports.push(part);
    const start = section.session.handlers.start;
    section.session.handlers.start = () => 1;
    App.section('dup').onRefresh();
    section.session.handlers.start = start;
    let longest = 0;
    const drain = section.session.drain;
    section.session.drain = function (...args) {
        const begun = performance.now();
        drain.apply(this, args);
        longest = Math.max(longest, performance.now() - begun);
    };
    reports.forEach((groups, i) => section.session.receive({
        type: i === reports.length - 1 ? 'done' : 'progress', data: JSON.stringify({groups})}));
    while (section.session.running) await new Promise((r) => setTimeout(r, 0));
    delete section.session.drain;
    const reclaimable = (g) => g.size * (g.files.length - 1);
    const expected = Array.from(last.values()).filter((g) => g.size > 0 && g.files.length > 1)
        .sort((a, b) => reclaimable(b) - reclaimable(a) || (a.hash < b.hash ? -1 : 1))
        .map((g) => [g.hash, reclaimable(g), g.files.length]);
    const shown = section.state.groups;
    return {longest, reports: reports.length,
            same: JSON.stringify(shown.map((g) => [g.hash, g.reclaimable, g.files.length])) ===
                JSON.stringify(expected),
            rows: section.list.items.length,
            protectedMarks: shown.every((g) => g.files.every((f) => f.protected === f.path.includes('/set1/'))),
            ticked: shown.some((g) => g.files.some((f) => f.ticked)), scanned: section.state.scanned};
})()"""


def duplicate_reports_replace_groups_by_hash():
    with harness.Session('en-us') as session:
        page = session.main
        page.eval('App.show("dup", {remember: false})')
        got = page.eval(DUP_REPORTS, timeout=120)
        assert got['same'], 'the groups differ from the reports, largest first'
        assert got['protectedMarks'] and not got['ticked'], got
        assert got['scanned'] and got['rows'] > 8000 and got['reports'] > 4, got
        assert got['longest'] < MARGIN_MS, 'folding reports held a task %.0f ms' % got['longest']


def replayed_scan_and_scroll_stay_within_budget():
    with harness.Session('en-us') as session:
        page = session.main
        long_tasks.replay(page, rows=60000, steps=8)
        result = long_tasks.summary(page)
        paint = result['spans'].get('paint', {'count': 0, 'longest': 0})
        assert paint['count'] >= 3, 'too few progress reports were painted: %r' % result['spans']
        assert paint['longest'] < MARGIN_MS, 'a progress report took %.0f ms to paint' % paint['longest']
        assert result['largestParse'] < 1000000, (
            'a %.1f MB report came while scanning' % (result['largestParse'] / 1e6))
        # Until the final report, no long task holds more than the margin of our own script
        # (the rest of such a task is the collection of the replay's own texts).
        steady = [t for t in result['tasks'] if t['start'] + t['duration'] <= result['finalAt']]
        assert all(t['ours'] < MARGIN_MS for t in steady), 'long tasks while scanning: %r' % steady
        shown = page.eval('App.section("large").debug.state.total')
        assert shown['count'] == 60000, shown
        assert page.eval('App.section("large").debug.state.files.length') == 60000
        assert page.eval('App.section("large").debug.state.files.every('
                         '(f, i, all) => i === 0 || all[i - 1].size >= f.size)'), 'not largest first'
        # Scrolling the final table: each render of the visible rows is ours, and stays small.
        top = long_tasks.wheel(page, ticks=60)
        assert top > 0, 'the wheel did not scroll the table'
        result = long_tasks.summary(page)
        render = result['spans'].get('render', {'count': 0, 'longest': 0})
        assert render['count'] >= 5, result['spans']
        assert render['longest'] < MARGIN_MS, 'a render took %.0f ms' % render['longest']
        nodes = page.eval('App.section("large").debug.list.pool.length')
        assert nodes < 80, 'the table keeps %d row nodes' % nodes


if __name__ == '__main__':
    only = sys.argv[1:]
    harness.run([s for s in (every_report_is_folded_in_order_and_the_scan_ends_once,
                             duplicate_reports_replace_groups_by_hash,
                             replayed_scan_and_scroll_stay_within_budget)
                 if not only or s.__name__ in only])
