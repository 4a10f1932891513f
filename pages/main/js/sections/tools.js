// Tools: one card per system tool. Most of them make a long synchronous native call, so each
// card says beforehand how long the window may stop answering, paints its busy state first,
// and reports the outcome on its own result line.
(function () {
    'use strict';

    const K = window.AnalysisKit;
    const t = K.t;
    const kGiB = 1024 * 1024 * 1024;
    const kPreviousWindows = 'C:\\windows.old';

    // As Windows reads a path: lower case, '/' separators, "." and ".." resolved (never above the
    // drive or share), and the trailing dots and blanks of each name dropped, so "C:\Windows."
    // and "C:\Temp\..\Windows" are C:\Windows. The native side judges again; this is the
    // page's first word.
    function norm(path) {
        const text = String(path || '').trim().replace(/\\/g, '/').toLowerCase();
        const share = text.startsWith('//');
        const parts = [];
        for (const name of text.split('/')) {
            const part = name === '..' ? name : name.replace(/[. ]+$/, '');
            const root = share ? 2 : parts.length > 0 && /^[a-z]:$/.test(parts[0]) ? 1 : 0;
            if (part === '..') {
                if (parts.length > root) parts.pop();
            } else if (part !== '') {
                parts.push(part);
            }
        }
        return (share ? '//' : text.startsWith('/') ? '/' : '') + parts.join('/');
    }

    // The folders removeDir must never be given: it takes ownership and grants access, so a
    // slip here would break the system or the user's whole profile.
    function refusalOf(path) {
        const p = norm(path);
        if (p === '' || /^[a-z]:$/.test(p) || p === '/' || /^\/\/[^/]+(\/[^/]+)?$/.test(p)) {
            return 'tools.folder.refuseRoot';
        }
        if (p.includes('%')) return 'tools.folder.refuseVariable';
        if (/^[a-z]:\/windows(\/|$)/.test(p)) return 'tools.folder.refuseWindows';
        if (/^[a-z]:\/program files( \(x86\))?$/.test(p) || /^[a-z]:\/programdata$/.test(p)) {
            return 'tools.folder.refusePrograms';
        }
        if (/^[a-z]:\/users$/.test(p)) return 'tools.folder.refuseProfile';
        // The profile is the desktop's parent on every system we run on.
        const desktop = norm(K.native('getDesktopPath', [], ''));
        const profile = desktop.includes('/') ? desktop.slice(0, desktop.lastIndexOf('/')) : '';
        if (profile !== '' && (p === profile || profile.startsWith(p + '/'))) {
            return 'tools.folder.refuseProfile';
        }
        const own = norm(K.native('processFolder', [], ''));
        if (own !== '' && (p === own || own.startsWith(p + '/'))) return 'tools.folder.refuseOwn';
        return '';
    }

    function card(id, titleKey, textKey, warnKey) {
        const state = K.el('p', {class: 'tool-state'});
        const actions = K.el('div', {class: 'tool-actions'});
        const result = K.el('p', {class: 'tool-result', role: 'status'});
        const node = K.el('article', {class: 'card tool-card', id: 'tool-' + id}, [
            K.el('h2', {class: 'card-title', 'data-i18n': titleKey, text: t(titleKey)}),
            K.el('p', {class: 'an-desc', 'data-i18n': textKey, text: t(textKey)}),
            warnKey ? K.el('p', {class: 'tool-warn', 'data-i18n': warnKey, text: t(warnKey)}) :
                      null,
            state, actions, result,
        ]);
        return {node, state, actions, result};
    }

    // State and result lines keep their keys and raw values ({size: bytes}), so a language
    // switch re-reads them, numbers and units included, with the rest of the section.
    // say(node) empties the line; say(node, [key, ...args], ...) writes it.
    function say(node, ...lines) {
        node.textContent = '';
        lines.forEach(([key, ...args], index) => {
            if (index > 0) node.appendChild(document.createTextNode(' '));
            node.appendChild(K.el('span', {'data-i18n': key, 'data-i18n-args': JSON.stringify(args),
                                           text: K.tv(key, ...args)}));
        });
    }

    function setResult(parts, kind, key, ...args) {
        parts.result.className = 'tool-result tool-result-' + kind;
        say(parts.result, [key, ...args]);
    }

    // One usage event per tool run: which of our tools, how it ended and how long it took;
    // never the folder or drive it worked on.
    function tell(tool, outcome, begun, extra) {
        K.report('tool_run', Object.assign({tool, outcome, duration_ms: K.since(begun)}, extra || {}));
    }

    function folderTool() {
        const parts = card('folder', 'tools.folder.title', 'tools.folder.text',
                           'tools.folder.warn');
        let path = '';
        const field = K.el('input', {class: 'field an-input tool-path', type: 'text',
                                     'data-i18n-placeholder': 'tools.folder.placeholder',
                                     oninput: () => choose(field.value, false)});
        const measure = K.button('secondary', 'tools.folder.measure', async () => {
            const bytes = await K.busy(t('tools.measuring'),
                                       () => Number(K.native('getFolderSize', [path], '0')));
            say(parts.state, ['tools.folder.size', {size: bytes || 0}]);
        });
        const remove = K.button('danger', 'tools.folder.remove', async () => {
            if (refusalOf(path) !== '') return;
            const ok = await K.confirm({title: t('tools.folder.confirm', path),
                                        items: [{label: path, detail: ''}], skipped: [],
                                        note: t('tools.folder.note'),
                                        dangerLabel: t('tools.folder.remove')});
            if (!ok) return;
            const begun = Date.now();
            const gone = await K.busy(t('tools.removing'),
                                      () => K.native('removeDir', [path], false) === true);
            tell('remove_folder', gone ? 'done' : 'failed', begun);
            setResult(parts, gone ? 'ok' : 'failed',
                      gone ? 'tools.folder.done' : 'tools.folder.failed', path);
        });
        const pick = K.button('secondary', 'tools.folder.pick', async () => {
            const picked = await K.pickFolders(t('tools.folder.title'));
            if (picked[0]) choose(String(picked[0]), true);
        });

        function choose(value, fill) {
            path = String(value || '').trim();
            if (fill) field.value = path;
            const refusal = path === '' ? '' : refusalOf(path);
            if (refusal) say(parts.state, [refusal]);
            else say(parts.state);
            parts.state.className = 'tool-state' + (refusal ? ' tool-refused' : '');
            measure.disabled = path === '' || refusal !== '';
            remove.disabled = measure.disabled;
            say(parts.result);
        }

        // The path comes first: the state line under it (size, refusal) speaks of that folder.
        parts.state.before(field);
        parts.actions.append(pick, measure, remove);
        choose('', true);
        parts.fixture = (kind) => {
            choose(kind === 'scanning' ? 'C:\\Windows\\System32' : kind === 'empty' ? '' :
                                         'D:\\Games\\Old launcher', true);
            if (kind === 'results') say(parts.state, ['tools.folder.size', {size: 3.2 * kGiB}]);
            if (kind === 'error') setResult(parts, 'failed', 'tools.folder.failed', path);
        };
        return parts;
    }

    function previousWindowsTool() {
        const parts = card('windowsold', 'tools.old.title', 'tools.old.text', 'tools.old.warn');
        // The state line always tells what the disk holds now, before and after a removal.
        async function measure() {
            const bytes = await K.busy(t('tools.measuring'), () => Number(
                K.native('getFolderSize', [kPreviousWindows], '0')) || 0);
            say(parts.state, bytes > 0 ? ['tools.old.size', {size: bytes}] : ['tools.old.none']);
            remove.disabled = bytes <= 0;
            return bytes;
        }
        const check = K.button('secondary', 'tools.check', () => measure());
        const remove = K.button('danger', 'tools.old.remove', async () => {
            const ok = await K.confirm({title: t('tools.old.confirm'),
                                        items: [{label: kPreviousWindows, detail: ''}],
                                        skipped: [], note: t('tools.old.warn'),
                                        dangerLabel: t('tools.old.remove')});
            if (!ok) return;
            const begun = Date.now();
            const gone = await K.busy(t('tools.old.busy'), () => K.native(
                'removeDir', [kPreviousWindows], false) === true);
            const left = await measure();
            // removeDir answers false while a delete at restart is pending; a folder that is
            // measured empty afterwards is gone whatever the answer said.
            const removed = gone || left <= 0;
            tell('previous_windows', removed ? 'done' : 'restart', begun);
            setResult(parts, removed ? 'ok' : 'partial',
                      removed ? 'tools.old.done' : 'tools.old.restart');
        });
        remove.disabled = true;
        parts.actions.append(check, remove);
        parts.fixture = (kind) => {
            say(parts.result);
            say(parts.state, kind === 'empty' ? ['tools.old.none'] :
                ['tools.old.size', {size: 18.4 * kGiB}]);
            remove.disabled = kind === 'empty';
            if (kind === 'scanning') setResult(parts, 'partial', 'tools.old.restart');
        };
        return parts;
    }

    function pagefileTool() {
        const parts = card('pagefile', 'tools.page.title', 'tools.page.text', 'tools.page.warn');
        const drives = K.el('select', {class: 'field an-select'});
        const move = K.button('primary', 'tools.page.move', async () => {
            const drive = drives.value;
            if (!drive) return;
            const ok = await K.confirm({title: t('tools.page.confirm', drive),
                                        items: [{label: 'C:\\pagefile.sys', detail: drive}],
                                        skipped: [], note: t('tools.page.note'),
                                        dangerLabel: t('tools.page.move')});
            if (!ok) return;
            const begun = Date.now();
            const moved = await K.busy(t('tools.page.busy'),
                                       () => K.native('migratePagefile', [drive], false) === true);
            tell('move_pagefile', moved ? 'done' : 'failed', begun);
            if (!moved) {
                setResult(parts, 'failed', 'tools.page.failed');
                return;
            }
            setResult(parts, 'ok', 'tools.page.done', drive);
            // The old page file stays in use until Windows restarts: a second move now would
            // only reconfigure the same change.
            move.disabled = true;
            drives.disabled = true;
        });
        let measured = false;

        // A screenshot fixture painted while the real measurement ran has the last word.
        let fixtures = 0;

        async function measure() {
            measured = true;
            const mine = fixtures;
            const bytes = await K.busy(t('tools.measuring'), () => Number(
                K.native('getPagefileSize', [], '0')) || 0);
            if (mine !== fixtures) return;
            const list = (K.nativeJson('getLogicalDrives', [], {list: []}).list || [])
                .filter((d) => !d.isRemovable && Number(d.freeSpace) > bytes + kGiB);
            const size = bytes > 0 ? ['tools.page.size', {size: bytes}] : ['tools.page.none'];
            show(size, list.map((d) => ({drive: d.drive, free: Number(d.freeSpace) || 0})));
        }

        // What the measurement found: the state line and the drives with room for the file.
        function show(size, targets) {
            drives.textContent = '';
            for (const d of targets) {
                const args = [d.drive, {size: d.free}];
                drives.appendChild(K.el('option', {value: d.drive, 'data-i18n': 'tools.page.driveFree',
                                                   'data-i18n-args': JSON.stringify(args),
                                                   text: K.tv('tools.page.driveFree', ...args)}));
            }
            if (size[0] === 'tools.page.size' && targets.length === 0) {
                say(parts.state, size, ['tools.page.noDrive']);
            } else {
                say(parts.state, size);
            }
            driveField.hidden = targets.length === 0;
            drives.disabled = false;
            move.disabled = size[0] !== 'tools.page.size' || targets.length === 0;
        }

        // The list has a visible name: a bare list of drives does not say it is the target.
        const driveField = K.el('label', {class: 'an-field'}, [
            K.el('span', {'data-i18n': 'tools.page.drive', text: t('tools.page.drive')}), drives]);
        move.disabled = true;
        driveField.hidden = true;
        parts.actions.append(driveField, move);
        parts.measure = () => {
            if (!measured) measure();
        };
        parts.fixture = (kind) => {
            measured = true;
            ++fixtures;
            say(parts.result);
            if (kind === 'empty') {
                show(['tools.page.none'], []);
                return;
            }
            show(['tools.page.size', {size: 4 * kGiB}], [{drive: 'D:', free: 212.5 * kGiB},
                                                         {drive: 'E:', free: 61 * kGiB}]);
            if (kind === 'scanning') setResult(parts, 'busy', 'tools.page.busy');
            if (kind === 'error') setResult(parts, 'failed', 'tools.page.failed');
        };
        return parts;
    }

    function hibernationTool() {
        const parts = card('hibernate', 'tools.hib.title', 'tools.hib.text', null);
        async function measure() {
            const data = await K.busy(t('tools.measuring'),
                                      () => K.nativeJson('getPrivacyItems', [], {list: []}));
            const item = (data.list || []).find((i) => i.type === 'hibernate');
            const bytes = item ? Number(item.size) || 0 : 0;
            say(parts.state, bytes > 0 ? ['tools.hib.size', {size: bytes}] : ['tools.hib.off']);
            off.disabled = bytes <= 0;
            return bytes;
        }
        const check = K.button('secondary', 'tools.check', () => measure());
        const off = K.button('danger', 'tools.hib.turnOff', async () => {
            const ok = await K.confirm({title: t('tools.hib.confirm'),
                                        items: [{label: t('tools.hib.lose1'), detail: ''},
                                                {label: t('tools.hib.lose2'), detail: ''}],
                                        skipped: [], note: t('tools.hib.note'),
                                        dangerLabel: t('tools.hib.turnOff')});
            if (!ok) return;
            const begun = Date.now();
            off.disabled = true;
            setResult(parts, 'busy', 'tools.hib.working');
            // The clean reports success whatever the system tool did, so the verdict comes
            // from measuring hiberfil.sys again.
            const finished = new Promise((resolve) => {
                const started = K.native('cleanPrivacyItemsAsync', [
                    JSON.stringify(['hibernate']), (event) => resolve(event)], 0);
                if (!started) resolve(null);
            });
            await finished;
            const left = await measure();
            tell('hibernation_off', left > 0 ? 'failed' : 'done', begun);
            if (left > 0) {
                setResult(parts, 'failed', 'tools.hib.failed');
                return;
            }
            // "Already off" would misread right after turning it off; the result line says it.
            say(parts.state);
            setResult(parts, 'ok', 'tools.hib.done');
        });
        off.disabled = true;
        parts.actions.append(check, off);
        parts.fixture = (kind) => {
            say(parts.result);
            say(parts.state, kind === 'empty' ? ['tools.hib.off'] :
                ['tools.hib.size', {size: 6.4 * kGiB}]);
            off.disabled = kind !== 'results';
            if (kind === 'scanning') setResult(parts, 'busy', 'tools.hib.working');
            if (kind === 'error') setResult(parts, 'failed', 'tools.hib.failed');
        };
        return parts;
    }

    function shortcutTool() {
        const parts = card('shortcut', 'tools.link.title', 'tools.link.text', null);
        parts.actions.append(K.button('secondary', 'tools.link.create', () => {
            const folder = String(K.native('getProcessFullDir', [], '') || '');
            const windows = /^[a-z]:/i.test(folder) || folder.includes('\\');
            const exe = folder + (windows ? '\\Pellanor.exe' : '/Pellanor');
            const made = K.native('createDesktopShortcut', ['Pellanor', exe, '', ''], false) ===
                true;
            tell('desktop_shortcut', made ? 'done' : 'failed', Date.now());
            if (made) K.toast(t('tools.link.done'));
            setResult(parts, made ? 'ok' : 'failed', made ? 'tools.link.done' : 'tools.link.failed');
        }));
        parts.fixture = (kind) => {
            if (kind === 'results') setResult(parts, 'ok', 'tools.link.done');
            else if (kind === 'error') setResult(parts, 'failed', 'tools.link.failed');
            else say(parts.result);
        };
        return parts;
    }

    function create(container) {
        const ui = K.frame(container, 'tools', 'tools.title', 'tools.desc');
        ui.bar.hidden = true;
        const cards = [folderTool(), previousWindowsTool(), pagefileTool(), hibernationTool(),
                       shortcutTool()];
        ui.body.appendChild(K.el('div', {class: 'tool-grid'}, cards.map((c) => c.node)));
        return {
            show() {
                cards[2].measure();
            },
            onLanguageChanged() {
                K.translate(ui.root);
            },
            // Screenshot states from made-up measurements; nothing is read or changed.
            fixture(kind) {
                for (const c of cards) c.fixture(kind);
            },
        };
    }

    window.ToolsRules = Object.freeze({refusalOf});
    App.registerSection({id: 'tools', order: 80, navKey: 'nav.tools', icon: 'tools', create});
})();
