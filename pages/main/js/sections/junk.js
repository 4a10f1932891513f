// Junk files: the nine categories the program measures, cleaned one category at a time so the
// progress can name each step; Stop ends the category under way (stopCleanPrivacyItems) and
// starts no other. Freed space is what a second measurement shows, never what the first one
// promised.
(function () {
    'use strict';

    const S = (key, ...args) => MainStrings.t(key, ...args);
    const el = (...args) => App.el(...args);
    const log = Logger.create('JunkSection');

    // What a careful user would clean without a second thought; the rest costs something.
    const kDefaultTicks = new Set(['temp', 'thumbcache', 'chrome', 'edge', 'firefox']);
    const kBrowsers = {chrome: 'chrome.exe', edge: 'msedge.exe', firefox: 'firefox.exe'};
    const kLastClean = 'lastClean';

    function name(type) {
        return S('junk.' + type + '.name');
    }

    function runningBrowsers() {
        const running = new Set();
        for (const [type, process] of Object.entries(kBrowsers)) {
            if (Native.call('isProcessRunning', process) === true) running.add(type);
        }
        return running;
    }

    // Resolves with {ok, stopped} from the completion report of one category's clean; stopped
    // when Stop cut that clean short.
    function cleanOne(type) {
        return new Promise((resolve) => {
            const started = Native.call('cleanPrivacyItemsAsync', JSON.stringify([type]), (report) => {
                const done = Boolean(report) && report.type === 'done';
                resolve({ok: done && report.success !== false, stopped: done && report.stopped === true});
            });
            if (started !== 1) resolve({ok: false, stopped: false});
        });
    }

    function measure() {
        const result = Native.json('getPrivacyItems');
        return result && Array.isArray(result.list) ? result.list : null;
    }

    function create(container) {
        const frame = App.sectionFrame(container, 'junk.title', 'junk.desc');
        const scanButton = App.button('junk.scan', '', () => startScan());
        frame.tools.appendChild(scanButton);
        const cleanButton = App.button(null, 'primary', () => clean());
        frame.barActions.appendChild(cleanButton);
        const state = {phase: 'idle', items: [], ticked: new Set(kDefaultTicks), running: new Set(),
                       stopRequested: false, progress: null, summary: null};

        function selected() {
            return state.items.filter((item) => state.ticked.has(item.type) && item.size > 0);
        }

        function renderBar() {
            const chosen = selected();
            // A running browser's cache is skipped, so it is not part of the promise.
            const total = chosen.filter((item) => !state.running.has(item.type))
                                .reduce((sum, item) => sum + item.size, 0);
            const busy = state.phase === 'measuring' || state.phase === 'cleaning';
            frame.bar.hidden = state.items.length === 0;
            frame.barText.textContent = MainStrings.plural('junk.selected', chosen.length, Format.size(total));
            cleanButton.textContent = chosen.length > 0 ? S('junk.clean', Format.size(total)) : S('junk.cleanSelected');
            cleanButton.disabled = busy || chosen.length === 0;
            scanButton.disabled = busy;
        }

        function row(item) {
            const empty = !(item.size > 0);
            const box = el('input', {attrs: {type: 'checkbox', 'data-type': item.type}});
            box.checked = !empty && state.ticked.has(item.type);
            box.disabled = empty || state.phase === 'cleaning';
            box.addEventListener('change', () => {
                if (box.checked) state.ticked.add(item.type);
                else state.ticked.delete(item.type);
                renderBar();
            });
            const nameLine = el('div', {className: 'row-name'}, [el('span', {text: name(item.type)})]);
            if (item.type === 'recyclebin' || item.type === 'hibernate') {
                nameLine.appendChild(el('span', {className: 'tag', text: S('chat.irreversible')}));
            }
            const main = el('div', {className: 'row-main'}, [
                nameLine,
                el('div', {className: 'row-desc', text: S('junk.' + item.type + '.desc')}),
                el('div', {className: 'row-path', text: Format.middle(item.path, 80), title: item.path}),
            ]);
            if (state.running.has(item.type) && !empty) {
                main.appendChild(el('div', {className: 'row-note', text: S('junk.browserRunning')}));
            }
            return el('li', {}, [el('label', {className: 'row' + (empty ? ' disabled' : ''),
                                              attrs: {'data-row': item.type}},
                                    [box, main, el('div', {className: 'row-size', text: Format.size(item.size)})])]);
        }

        function render() {
            const body = frame.body;
            for (const child of Array.from(body.children)) {
                if (!child.classList.contains('progress-panel') && !child.classList.contains('result')) child.remove();
            }
            if (state.phase === 'error') {
                const banner = el('div', {className: 'banner danger', attrs: {role: 'alert'}}, [
                    Icons.svg('warning', 16), el('span', {className: 'banner-text', text: S('junk.error')}),
                    App.button('common.retry', '', () => startScan()),
                ]);
                body.appendChild(banner);
            } else if (state.items.length === 0) {
                body.appendChild(el('div', {className: 'empty'}, [
                    Icons.svg('junk', 48), el('p', {text: S('junk.notMeasured')}),
                    App.button('junk.scan', 'primary', () => startScan()),
                ]));
            } else {
                body.appendChild(el('ul', {className: 'rows', attrs: {role: 'list'}}, state.items.map(row)));
            }
            if (state.partial) Progress.partialBanner(body);
            renderBar();
        }

        async function startScan() {
            if (state.phase === 'measuring' || state.phase === 'cleaning') return;
            state.phase = 'measuring';
            state.partial = false;
            if (state.summary) state.summary.remove();
            renderBar();
            const begun = Date.now();
            const items = await Busy.run(S('junk.measuring'), measure, {container: container, note: S('junk.measuringNote')});
            const took = Date.now() - begun;
            state.running = runningBrowsers();
            if (items === null) {
                state.phase = 'error';
                state.items = [];
            } else {
                state.phase = 'results';
                state.items = items;
            }
            render();
            const found = state.items.filter((item) => item.size > 0);
            App.report('junk_scan', {categories: found.length, bytes: found.reduce((sum, item) => sum + item.size, 0),
                                     duration_ms: took, outcome: items === null ? 'failed' : 'done'});
        }

        function rememberClean(freed) {
            Native.call('setSetting', kLastClean, JSON.stringify({time: Date.now(), freed}));
        }

        async function clean() {
            state.running = runningBrowsers();
            const chosen = selected();
            if (chosen.length === 0) return;
            const skipped = chosen.filter((item) => state.running.has(item.type));
            const going = chosen.filter((item) => !state.running.has(item.type));
            const total = going.reduce((sum, item) => sum + item.size, 0);
            const confirmed = await Confirm.ask({
                title: MainStrings.plural('junk.confirm', going.length, Format.size(total)),
                items: going.map((item) => ({label: name(item.type) + ' \u2014 ' + item.path, detail: Format.size(item.size)})),
                skipped: skipped.map((item) => ({label: name(item.type), reason: S('junk.browserRunning')})),
                dangerLabel: S('junk.clean', Format.size(total)),
            });
            if (!confirmed || going.length === 0) {
                render();
                return;
            }
            await runClean(going, skipped);
        }

        async function runClean(going, skipped) {
            state.phase = 'cleaning';
            state.stopRequested = false;
            state.cleanBegun = Date.now();
            render();
            const before = new Map(state.items.map((item) => [item.type, item.size]));
            // Stop also ends the category being cleaned, not only the loop between them.
            state.progress = Progress.show(frame.body, {verb: () => S('junk.cleaning'), onStop: () => {
                state.stopRequested = true;
                Native.call('stopCleanPrivacyItems');
            }});
            const done = [];
            let cutShort = null;
            for (const [index, item] of going.entries()) {
                if (state.stopRequested) break;
                state.progress.update({current: () => S('junk.step', index + 1, going.length, name(item.type)),
                                       fraction: index / going.length});
                const result = await cleanOne(item.type);
                log.info('cleaned ' + item.type + (result.stopped ? ' (stopped part-way)' : result.ok ? '' : ' (reported a failure)'));
                done.push(item.type);
                if (result.stopped) {
                    cutShort = item.type;
                    break;
                }
            }
            state.progress.update({fraction: 1});
            const notReached = going.map((item) => item.type).filter((type) => !done.includes(type));
            const stopped = cutShort !== null || (state.stopRequested && notReached.length > 0);
            state.progress.done();
            const after = await Busy.run(S('junk.measuring'), measure, {container: container});
            finish(before, after || state.items, done, skipped, stopped ? {cutShort, notReached} : null);
        }

        // `stopped`: null, or what Stop left: the category cut short and those never begun.
        function finish(before, after, done, skipped, stopped) {
            state.items = after;
            const sizeNow = new Map(after.map((item) => [item.type, item.size]));
            const gone = done.map((type) => [type, Math.max(0, (before.get(type) || 0) - (sizeNow.get(type) || 0))]);
            const cutShort = stopped ? stopped.cutShort : null;
            const notReached = stopped ? stopped.notReached : [];
            const left = done.filter((type) => (sizeNow.get(type) || 0) > 0);
            const freed = gone.reduce((sum, [, bytes]) => sum + bytes, 0);
            const failedCount = skipped.length + left.length + notReached.length;
            rememberClean(freed);
            App.report('junk_clean', {categories: done.length, freed_bytes: freed, left: failedCount,
                                      skipped: skipped.length, duration_ms: Date.now() - state.cleanBegun,
                                      outcome: stopped ? 'stopped' : 'done'});
            state.phase = 'done';
            state.partial = Boolean(stopped);
            render();
            // The texts are built on demand, so the summary follows a language switch.
            state.summary = ResultSummary.show(frame.body, () => ({
                freedBytes: freed,
                lines: gone.map(([type, bytes]) => S('junk.freedLine', name(type), Format.size(bytes))),
                failed: skipped.map((item) => ({label: name(item.type), reason: S('junk.running', name(item.type))}))
                    .concat(left.map((type) => ({label: name(type), reason: type === cutShort
                        ? S('junk.stoppedPart', Format.size(sizeNow.get(type)))
                        : S('junk.stillThere', Format.size(sizeNow.get(type)))})))
                    .concat(notReached.map((type) => ({label: name(type), reason: S('junk.notReached')}))),
                actions: [{label: S('result.done'), kind: 'primary', onClick: () => {
                    state.summary.remove();
                    state.partial = false;
                    render();
                }}, {label: S('result.scanAgain'), onClick: () => startScan()}],
            }));
            log.info('junk clean finished: freed ' + freed + ' bytes, ' + failedCount + ' left');
        }

        function fixture(kind) {
            const sample = [
                ['thumbcache', '%LOCALAPPDATA%\\Microsoft\\Windows\\Explorer', 48 * 2 ** 20],
                ['recent', 'C:\\Users\\Ana\\AppData\\Roaming\\Microsoft\\Windows\\Recent', 2.1 * 2 ** 20],
                ['temp', 'C:\\Users\\Ana\\AppData\\Local\\Temp', 1.7 * 2 ** 30],
                ['prefetch', 'C:\\Windows\\Prefetch', 35 * 2 ** 20],
                ['recyclebin', '$Recycle.Bin', 820 * 2 ** 20],
                ['hibernate', 'C:\\hiberfil.sys', 6.4 * 2 ** 30],
                ['chrome', 'C:\\Users\\Ana\\AppData\\Local\\Google\\Chrome\\User Data\\Default\\Cache', 412 * 2 ** 20],
                ['edge', 'C:\\Users\\Ana\\AppData\\Local\\Microsoft\\Edge\\User Data\\Default\\Cache', 0],
                ['firefox', 'C:\\Users\\Ana\\AppData\\Local\\Mozilla\\Firefox\\Profiles', 96 * 2 ** 20],
            ].map(([type, path, size]) => ({type, path, size: Math.round(size)}));
            state.items = kind === 'empty' ? [] : sample;
            state.phase = kind === 'error' ? 'error' : 'results';
            state.running = new Set(kind === 'results' ? ['chrome'] : []);
            render();
        }

        return {
            startScan,
            show() {
                if (state.phase === 'idle') render();
            },
            onLanguageChanged: () => render(),
            onRefresh: () => startScan(),
            onEscape() {
                if (state.phase === 'cleaning' && state.progress) state.progress.requestStop();
            },
            onDelete: () => clean(),
            busyText: () => (state.phase === 'cleaning' ? S('close.busy') : ''),
            fixture,
            state: () => ({phase: state.phase, ticked: Array.from(state.ticked)}),
        };
    }

    App.registerSection({id: 'junk', order: 20, navKey: 'nav.junk', icon: 'junk', create});
})();
