// Chat apps: WeChat and QQ keep caches, and copies of every picture, video and file exchanged.
// Only the cache is ticked by default: the rest is the user's own history and cannot be
// recovered once cleaned, and each row says so.
(function () {
    'use strict';

    const S = (key, ...args) => MainStrings.t(key, ...args);
    const el = (...args) => App.el(...args);
    const log = Logger.create('ChatSection');

    const kApps = {
        wechat: {types: ['wechat_cache', 'wechat_image', 'wechat_video', 'wechat_file'],
                 scan: 'startScanWechat', stop: 'stopScanWechat', clean: 'startCleanWechat',
                 stopClean: 'stopCleanWechat', open: 'openWechatFolder'},
        qq: {types: ['qq_cache', 'qq_image', 'qq_video', 'qq_file'],
             scan: 'startScanQq', stop: 'stopScanQq', clean: 'startCleanQq', stopClean: 'stopCleanQq',
             open: 'openQqFolder'},
    };

    function appName(app) {
        return S('chat.app.' + app);
    }

    function typeName(type) {
        return S('chat.' + type + '.name');
    }

    function newState(app) {
        return {app, phase: 'idle', items: new Map(), ticked: new Set([kApps[app].types[0]]),
                partial: false, progress: null, stopRequested: false, onEnd: null};
    }

    function parseItem(text) {
        try {
            const item = JSON.parse(text);
            return item && typeof item.type === 'string' ? item : null;
        } catch (error) {
            return null;
        }
    }

    function create(container) {
        const frame = App.sectionFrame(container, 'chat.title', 'chat.desc');
        const scanButton = App.button('chat.scan', '', () => startScan(current.app));
        frame.tools.appendChild(scanButton);
        const cleanButton = App.button(null, 'primary', () => clean(current.app));
        frame.barActions.appendChild(cleanButton);
        const states = {wechat: newState('wechat'), qq: newState('qq')};
        let current = states.wechat;

        const tablist = el('div', {className: 'tabs', attrs: {role: 'tablist'}});
        const panel = el('div', {attrs: {role: 'tabpanel', id: 'chat-panel'}});
        const tabs = Object.keys(kApps).map((app) => {
            const tab = el('button', {className: 'tab', attrs: {type: 'button', role: 'tab', id: 'chat-tab-' + app,
                                      'aria-controls': 'chat-panel', 'data-app': app}});
            tab.addEventListener('click', () => select(app));
            tab.addEventListener('keydown', (event) => {
                if (event.key !== 'ArrowLeft' && event.key !== 'ArrowRight') return;
                const other = app === 'wechat' ? 'qq' : 'wechat';
                select(other);
                tablist.querySelector('[data-app="' + other + '"]').focus();
            });
            tablist.appendChild(tab);
            return tab;
        });
        frame.body.append(tablist, panel);

        function select(app) {
            current = states[app];
            render();
        }

        function selected(state) {
            return kApps[state.app].types.filter((type) => state.ticked.has(type) &&
                                                          (state.items.get(type) || {}).size > 0);
        }

        function busy(state) {
            return state.phase === 'scanning' || state.phase === 'cleaning';
        }

        function renderBar() {
            const chosen = selected(current);
            const total = chosen.reduce((sum, type) => sum + current.items.get(type).size, 0);
            frame.bar.hidden = current.items.size === 0;
            frame.barText.textContent = MainStrings.plural('junk.selected', chosen.length, Format.size(total));
            cleanButton.textContent = chosen.length > 0 ? S('chat.clean', Format.size(total)) : S('chat.cleanSelected');
            cleanButton.disabled = busy(current) || chosen.length === 0;
            scanButton.disabled = busy(current) || !Native.has(kApps[current.app].scan);
        }

        function details(item) {
            const list = el('ul', {className: 'row-details'});
            for (const account of item.details || []) {
                list.appendChild(el('li', {}, [
                    el('span', {className: 'row-path', text: Format.middle(account.path, 70), title: account.path}),
                    el('span', {className: 'num', text: Format.size(account.size)}),
                ]));
            }
            return list;
        }

        function row(state, type) {
            const item = state.items.get(type);
            const measured = item !== undefined;
            const empty = !measured || !(item.size > 0);
            const box = el('input', {attrs: {type: 'checkbox', 'data-type': type}});
            box.checked = !empty && state.ticked.has(type);
            box.disabled = empty || busy(state);
            box.addEventListener('change', () => {
                if (box.checked) state.ticked.add(type);
                else state.ticked.delete(type);
                renderBar();
            });
            const nameLine = el('div', {className: 'row-name'}, [el('span', {text: typeName(type)})]);
            if (!type.endsWith('_cache')) {
                const tag = el('span', {className: 'tag'}, [Icons.svg('warning', 12), S('chat.irreversible')]);
                nameLine.appendChild(tag);
            }
            const main = el('div', {className: 'row-main'}, [
                nameLine, el('div', {className: 'row-desc', text: S('chat.' + type + '.desc')}),
            ]);
            if (measured && item.details && item.details.length > 0) main.appendChild(details(item));
            const open = el('button', {className: 'icon-button', attrs: {type: 'button', 'data-open': type,
                               title: S('common.openFolder'), 'aria-label': S('common.openFolder') + ': ' + typeName(type)}},
                            [Icons.svg('folder', 16)]);
            open.disabled = empty;
            open.addEventListener('click', (event) => {
                event.preventDefault();
                Native.call(kApps[state.app].open, type);
            });
            const size = el('div', {className: 'row-size', text: measured ? Format.size(item.size) : '\u2014'});
            return el('li', {}, [el('label', {className: 'row' + (empty ? ' disabled' : ''), attrs: {'data-row': type}},
                                    [box, main, size, open])]);
        }

        function render() {
            for (const tab of tabs) {
                const app = tab.dataset.app;
                tab.textContent = appName(app);
                tab.setAttribute('aria-selected', String(app === current.app));
                tab.tabIndex = app === current.app ? 0 : -1;
            }
            panel.setAttribute('aria-labelledby', 'chat-tab-' + current.app);
            for (const child of Array.from(panel.children)) {
                if (!child.classList.contains('progress-panel') || child.dataset.app !== current.app) child.remove();
            }
            if (current.progress && !panel.contains(current.progress.root)) panel.prepend(current.progress.root);
            const name = appName(current.app);
            if (!Native.has(kApps[current.app].scan)) {
                panel.appendChild(el('div', {className: 'empty'}, [Icons.svg('chat', 48), el('p', {text: S('chat.unavailable')})]));
            } else if (current.phase === 'notFound') {
                panel.appendChild(el('div', {className: 'empty'}, [Icons.svg('chat', 48),
                                  el('p', {text: S('chat.notFound', name)}),
                                  App.button('result.scanAgain', '', () => startScan(current.app))]));
            } else if (current.phase === 'idle') {
                panel.appendChild(el('div', {className: 'empty'}, [Icons.svg('chat', 48),
                                  el('p', {text: S('chat.notScanned', name)}),
                                  App.button('chat.scan', 'primary', () => startScan(current.app))]));
            } else {
                if (current.partial) Progress.partialBanner(panel);
                panel.appendChild(el('ul', {className: 'rows', attrs: {role: 'list'}},
                                     kApps[current.app].types.map((type) => row(current, type))));
                if (current.summary) panel.prepend(current.summary);
            }
            renderBar();
        }

        // Resolves when the scan has sent its final report; rows fill in as categories finish.
        function scan(state, onProgress) {
            const app = kApps[state.app];
            return new Promise((resolve) => {
                let found = false;
                const started = Native.call(app.scan, (report) => {
                    if (!report) return;
                    if (report.type === 'progress') {
                        const item = parseItem(report.data);
                        if (!item) return;
                        found = true;
                        state.items.set(item.type, item);
                        onProgress(item);
                    } else if (report.type === 'done' || report.type === 'stopped') {
                        resolve({found, stopped: report.type === 'stopped'});
                    }
                });
                if (started !== 1) resolve({found: false, stopped: false, failed: true});
            });
        }

        // `quiet`: the scan that follows a clean, which is part of the clean's own event.
        async function startScan(app, quiet) {
            const state = states[app];
            if (busy(state) || !Native.has(kApps[app].scan)) return;
            const begun = Date.now();
            state.phase = 'scanning';
            state.items = new Map();
            state.partial = false;
            state.summary = null;
            const types = kApps[app].types;
            state.progress = Progress.show(panel, {verb: () => S('chat.scanning', appName(app)),
                                                   onStop: () => Native.call(kApps[app].stop)});
            state.progress.root.dataset.app = app;
            state.progress.update({current: () => S('chat.current', typeName(types[0])), fraction: 0});
            if (current === state) render();
            const result = await scan(state, (item) => {
                const next = types[types.indexOf(item.type) + 1];
                state.progress.update({current: next ? () => S('chat.current', typeName(next)) : '',
                                       fraction: state.items.size / types.length});
                if (current === state) render();
            });
            state.progress.done();
            state.progress = null;
            // A scan stopped before its first category says nothing about whether the app has
            // data: it shows unmeasured rows marked partial, never "No data on this PC".
            state.phase = result.found || result.stopped ? 'results' : 'notFound';
            state.partial = result.stopped;
            log.info(app + ' scan ' + (result.stopped ? 'stopped' : 'done') + ', ' + state.items.size + ' categories');
            if (current === state) render();
            if (!quiet) {
                const sizes = Array.from(state.items.values()).map((item) => Number(item.size) || 0);
                App.report('chat_scan', {categories: sizes.filter((size) => size > 0).length,
                                         bytes: sizes.reduce((sum, size) => sum + size, 0),
                                         duration_ms: Date.now() - begun,
                                         outcome: result.failed ? 'failed' : result.stopped ? 'stopped' :
                                             result.found ? 'done' : 'none'});
            }
            return result;
        }

        // Resolves with {ok, stopped}; stopped when Stop cut this category's clean short.
        function cleanOne(app, type) {
            return new Promise((resolve) => {
                const started = Native.call(kApps[app].clean, JSON.stringify([type]), (report) => {
                    if (report && report.type === 'done') {
                        resolve({ok: report.success !== false, stopped: report.stopped === true});
                    }
                });
                if (started !== 1) resolve({ok: false, stopped: false});
            });
        }

        async function clean(app) {
            const state = states[app];
            const chosen = selected(state);
            if (chosen.length === 0 || busy(state)) return;
            const total = chosen.reduce((sum, type) => sum + state.items.get(type).size, 0);
            const items = [];
            for (const type of chosen) {
                for (const account of state.items.get(type).details || []) {
                    items.push({label: typeName(type) + ' \u2014 ' + account.path, detail: Format.size(account.size)});
                }
            }
            const confirmed = await Confirm.ask({
                title: MainStrings.plural('chat.confirm', chosen.length, Format.size(total), appName(app)),
                items,
                dangerLabel: S('chat.clean', Format.size(total)),
            });
            if (!confirmed) return;
            const before = new Map(chosen.map((type) => [type, state.items.get(type).size]));
            const begun = Date.now();
            state.phase = 'cleaning';
            state.stopRequested = false;
            // Stop also ends the category being cleaned, not only the loop between them.
            state.progress = Progress.show(panel, {verb: () => S('chat.cleaning', appName(app)), onStop: () => {
                state.stopRequested = true;
                Native.call(kApps[app].stopClean);
            }});
            state.progress.root.dataset.app = app;
            render();
            const done = [];
            let cutShort = null;
            for (const [index, type] of chosen.entries()) {
                if (state.stopRequested) break;
                state.progress.update({current: () => S('junk.step', index + 1, chosen.length, typeName(type)),
                                       fraction: index / chosen.length});
                const result = await cleanOne(app, type);
                done.push(type);
                if (result.stopped) {
                    cutShort = type;
                    break;
                }
            }
            state.progress.done();
            state.progress = null;
            const notReached = chosen.filter((type) => !done.includes(type));
            const stopped = cutShort !== null || notReached.length > 0;
            state.phase = 'results';
            await startScan(app, true);
            finishClean(state, before, done, stopped ? {cutShort, notReached} : null, begun);
        }

        // `stopped`: null, or what Stop left: the category cut short and those never begun.
        function finishClean(state, before, done, stopped, begun) {
            const cutShort = stopped ? stopped.cutShort : null;
            const notReached = stopped ? stopped.notReached : [];
            const outcome = done.map((type) => {
                const left = (state.items.get(type) || {size: 0}).size;
                return {type, left, gone: Math.max(0, before.get(type) - left)};
            });
            const freed = outcome.reduce((sum, o) => sum + o.gone, 0);
            state.partial = Boolean(stopped);
            state.phase = 'results';
            // Which chat app was cleaned is left out: a program's name is not ours to send.
            App.report('chat_clean', {categories: done.length, freed_bytes: freed,
                                      left: outcome.filter((o) => o.left > 0).length,
                                      duration_ms: Date.now() - begun, outcome: stopped ? 'stopped' : 'done'});
            const holder = el('div');
            // Texts on demand: the summary follows a language switch, shown or waiting.
            state.summary = ResultSummary.show(holder, () => ({
                freedBytes: freed,
                lines: outcome.map((o) => S('junk.freedLine', typeName(o.type), Format.size(o.gone))),
                failed: outcome.filter((o) => o.left > 0).map((o) => ({
                    label: typeName(o.type), reason: o.type === cutShort
                        ? S('junk.stoppedPart', Format.size(o.left)) : S('junk.stillThere', Format.size(o.left))}))
                    .concat(notReached.map((type) => ({label: typeName(type), reason: S('junk.notReached')}))),
                actions: [
                    {label: S('result.done'), kind: 'primary', onClick: () => {
                        state.summary = null;
                        state.partial = false;
                        render();
                    }},
                    {label: S('common.openFolder'), onClick: () => Native.call(kApps[state.app].open, done[0])},
                ],
            }));
            if (current === state) render();
        }

        function fixture(kind) {
            const state = current;
            state.items = new Map();
            state.summary = null;
            state.phase = kind === 'empty' ? 'notFound' : 'results';
            if (kind !== 'empty') {
                const accounts = ['C:/Users/Ana/Documents/WeChat Files/wxid_k2m9x', 'D:/WeChat/wxid_family'];
                const sizes = [1.2 * 2 ** 30, 3.4 * 2 ** 30, 5.1 * 2 ** 30, 860 * 2 ** 20];
                kApps[state.app].types.forEach((type, index) => {
                    const size = Math.round(sizes[index]);
                    state.items.set(type, {type, size, details: [{path: accounts[0], size: Math.round(size * 0.7)},
                                                                  {path: accounts[1], size: size - Math.round(size * 0.7)}]});
                });
            }
            render();
        }

        render();
        return {
            show: () => render(),
            onLanguageChanged: () => render(),
            onRefresh: () => startScan(current.app),
            onEscape() {
                if (current.progress) current.progress.requestStop();
            },
            onDelete: () => clean(current.app),
            busyText: () => (busy(states.wechat) || busy(states.qq) ? S('close.busy') : ''),
            startScan: (app) => startScan(app || current.app, false),
            select,
            fixture,
        };
    }

    App.registerSection({id: 'chat', order: 30, navKey: 'nav.chat', icon: 'chat', create});
})();
