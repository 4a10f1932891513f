"""Long tasks of the main page under heavy lists, shared by long_tasks_test.py (what the page
controls, with a margin) and bench/page_long_tasks_bench.sh (the precise figures).

Before each action the page gets a `longtask` PerformanceObserver and a stopwatch around the
page's own entry points (progress reports folded, their paint, the end of a scan, a render of
the visible rows), so every long task can be put down to our scripts or to the rest (the engine
delivering a report, style and layout, garbage collection)."""
import json
import os
import subprocess
import sys
import time

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..', '..'))
CORPUS = os.path.join(REPO, 'bench', 'generate_corpus.py')
MIB = 1024 * 1024

INSTALL = r'''((id) => {
    const section = App.section(id).debug;
    window.__longTasks = {tasks: [], spans: [], begun: performance.now()};
    if (!window.__longTaskObserver) {
        window.__longTaskObserver = new PerformanceObserver((list) => {
            for (const e of list.getEntries()) {
                window.__longTasks.tasks.push({start: e.startTime, duration: e.duration});
            }
        });
        window.__longTaskObserver.observe({type: 'longtask', buffered: true});
    }
    const time = (owner, method, name) => {
        const original = owner[method];
        if (original.__timed) return;
        owner[method] = function (...args) {
            const start = performance.now();
            try {
                return original.apply(this, args);
            } finally {
                window.__longTasks.spans.push({name, start, duration: performance.now() - start});
            }
        };
        owner[method].__timed = true;
    };
    time(section.session, 'drain', 'progress');
    time(section.session.handlers, 'onProgress', 'paint');
    time(section.session, 'receive', 'report');
    time(section.session, 'end', 'end');
    time(section.list, 'render', 'render');
    return true;
})(SECTION)'''

# Long tasks, each put down to the page's own spans inside it; figures of the steady part
# (after the first `skip_ms`) kept apart from the start, where the code is still cold.
SUMMARY = r'''((skipMs) => {
    const watch = window.__longTasks;
    const steadyFrom = watch.begun + skipMs;
    const out = {tasks: [], spans: {}, ours: [], largestParse: watch.largestParse, finalAt: watch.finalAt ? watch.finalAt - watch.begun : null,
                 finalRendered: watch.finalRendered};
    for (const task of watch.tasks) {
        if (task.start < watch.begun) continue;
        const inside = watch.spans.filter((s) => s.start >= task.start - 1 &&
                                                  s.start + s.duration <= task.start + task.duration + 1);
        const ours = inside.reduce((sum, s) => sum + s.duration, 0);
        out.tasks.push({start: Math.round(task.start - watch.begun), duration: Math.round(task.duration),
                        ours: Math.round(ours), steady: task.start >= steadyFrom,
                        what: inside.map((s) => s.name + ' ' + Math.round(s.duration)).join(', ')});
    }
    for (const span of watch.spans) {
        const entry = out.spans[span.name] = out.spans[span.name] || {count: 0, longest: 0, total: 0};
        entry.count += 1;
        entry.total += span.duration;
        entry.longest = Math.max(entry.longest, span.duration);
        if (span.start >= steadyFrom) out.ours.push(span.duration);
    }
    return JSON.stringify(out);
})(SKIP)'''


def install(page, section):
    page.eval(INSTALL.replace('SECTION', json.dumps(section)))


def summary(page, skip_ms=0):
    return json.loads(page.eval(SUMMARY.replace('SKIP', str(int(skip_ms)))))


def generate(folder, *args):
    subprocess.run([sys.executable, CORPUS, folder, '--no-hash-file'] + [str(a) for a in args],
                   check=True)


def frames(page, count=2):
    page.eval('new Promise((r) => { let n = %d; const f = () => (--n ? requestAnimationFrame(f) : r());'
              ' requestAnimationFrame(f); })' % count)


def live_scan(session, section, folders_key, folders, min_mb=None, timeout=600):
    """Runs the section's real scan over `folders` and waits for its final report."""
    page = session.main
    page.eval('NativeUtil.setSetting(%r, %r)' % (folders_key, json.dumps(folders)))
    if min_mb:
        page.eval('NativeUtil.setSetting("large.minMb", %r)' % str(min_mb))
    page.eval('App.show(%r, {remember: false})' % section)
    frames(page)
    install(page, section)
    page.eval('App.section(%r).debug.session.running || '
              'document.querySelector("#section-%s .section-header .button.primary").click()'
              % (section, section))
    page.wait('App.section(%r).debug.state.scanned && !App.section(%r).debug.session.running'
              % (section, section), timeout=timeout, what=section + ' scan done')
    frames(page, 4)
    return summary(page, skip_ms=1500)


# Replays what the native worker sends during a 60,000-file incremental scan (no engine delivery
# is involved: every task until the final report is the page's own folding and painting, or the
# engine's style, layout and GC): every 500 ms the files found since the previous report, in
# reports of at most 2,000 records sent back to back (each in a task of its own, as the engine
# calls the page once per report), then the final report, through the session's own entry.
REPLAY = r'''(async () => {
    const section = App.section('large').debug;
    const session = section.session;
    const kRows = 2000;
    const record = (i) => ({fileId: '2049:' + (1000 + i), links: 1,
                            modifiedMsecs: 1714557600000 + i * 1000,
                            modifiedTime: '2024-05-' + String(1 + i % 28).padStart(2, '0') + ' 10:00',
                            name: 'file' + i + '.bin',
                            path: 'C:/Users/Alex/Data/folder' + (i % 700) + '/file' + i + '.bin',
                            size: Math.round(2e11 / (((i * 7919) % ROWS) + 1) + 104857600)});
    // As the native side writes them: compact, keys sorted; the counts of all sent so far.
    let bytes = 0;
    const report = (type, from, to) => {
        const list = [];
        for (let i = from; i < to; ++i) {
            list.push(record(i));
            bytes += list[list.length - 1].size;
        }
        return {type, data: JSON.stringify({bytes, count: to, list})};
    };
    const STEPS = STEP_COUNT;
    const steps = [];
    let sent = 0;
    let total = 0;
    for (let s = 1; s <= STEPS; ++s) {
        const until = Math.round(ROWS * s / STEPS);
        const reports = [];
        while (until - sent > (s === STEPS ? kRows : 0)) {
            const end = Math.min(until, sent + kRows);
            reports.push(report('progress', sent, end));
            sent = end;
        }
        if (s === STEPS) reports.push(report('done', sent, until));
        for (const r of reports) total += r.data.length;
        steps.push(reports);
    }
    const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
    // The largest text parsed whole while scanning: every report is parsed whole, and none may
    // be larger than a frame's work.
    const parse = JSON.parse;
    window.__longTasks.largestParse = 0;
    JSON.parse = function (text, ...rest) {
        window.__longTasks.largestParse = Math.max(window.__longTasks.largestParse, String(text).length);
        return parse.call(this, text, ...rest);
    };
    // A scan started as the user starts it, its reports fed in place of the native worker's.
    const start = session.handlers.start;
    session.handlers.start = () => 1;
    PellanorUI.show('large', 'empty');
    section.chips.folders = [{path: 'C:/Users/Alex', protected: false}];
    App.section('large').onRefresh();
    session.handlers.start = start;
    window.__longTasks.begun = performance.now();
    for (let s = 0; s < STEPS; ++s) {
        const last = s === STEPS - 1;
        for (const r of steps[s]) {
            if (last && r.type === 'done') window.__longTasks.finalAt = performance.now();
            session.receive(r);
            await sleep(0);
        }
        if (!last) await sleep(500);
    }
    while (session.running) await new Promise((r) => setTimeout(r, 5));
    await new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
    window.__longTasks.finalRendered = performance.now() - window.__longTasks.finalAt;
    JSON.parse = parse;
    return total;
})()'''


def replay(page, rows=60000, steps=8):
    page.eval('PellanorUI.show("large", "empty")')
    frames(page)
    install(page, 'large')
    script = REPLAY.replace('STEP_COUNT', str(steps)).replace('ROWS', str(rows))
    size = page.eval(script, timeout=300)
    return size


def wheel(page, ticks=120):
    """Scrolls the large-file table with real wheel clicks of the X server over it (down, then
    back up): the inspector's synthetic wheel events do not reach this engine's windows."""
    box = page.eval('(() => { const r = App.section("large").debug.list.scroller'
                    '.getBoundingClientRect(); return [Math.round(r.x + r.width / 2),'
                    ' Math.round(r.y + r.height / 2)]; })()')
    window = subprocess.run(['xdotool', 'search', '--onlyvisible', '--name', '^Pellanor$'],
                            capture_output=True, text=True).stdout.split()[0]
    subprocess.run(['xdotool', 'mousemove', '--window', window, str(box[0]), str(box[1])], check=True)
    page.eval('window.__longTasks.begun = performance.now(); null')
    subprocess.run(['xdotool', 'click', '--repeat', str(ticks // 2), '--delay', '16', '5'], check=True)
    frames(page, 4)
    top = page.eval('App.section("large").debug.list.scroller.scrollTop')
    subprocess.run(['xdotool', 'click', '--repeat', str(ticks // 2), '--delay', '16', '4'], check=True)
    frames(page, 4)
    return top
