// Duplicate files: groups of identical files under the chosen folders, largest reclaimable
// space first. Folders are Normal or Protected; a protected file is never ticked, and every
// group keeps at least one unticked copy whatever a helper or a click asks. The scan reports
// only the groups that are new or gained files (startScanDuplicateFilesIncremental), each whole.
(function () {
    'use strict';

    const K = window.AnalysisKit;
    const t = K.t;
    const R = window.DuplicateRules;

    function protectedPaths(folders) {
        return folders.filter((f) => f.protected).map((f) => f.path);
    }

    // One native group as the page keeps it, or null: empty files are all "identical" and free
    // nothing, so their group is hidden.
    function prepareGroup(raw, protectedFolders) {
        const size = Number(raw && raw.size) || 0;
        const files = raw && Array.isArray(raw.files) ? raw.files : [];
        if (size <= 0 || files.length < 2) return null;
        const group = {hash: String(raw.hash || ''), size, files: files.map((f) => ({
            path: String(f.path), name: String(f.name || K.splitPath(f.path).name),
            size, modifiedTime: String(f.modifiedTime || ''), ticked: false,
            protected: protectedFolders.some((p) => R.isInside(f.path, p)),
            fileId: String(f.fileId || ''), links: Number(f.links) || 0,
            modifiedMsecs: Number(f.modifiedMsecs) || 0,
            freed: K.freedBytes({size, links: f.links}),
        }))};
        group.reclaimable = R.reclaimable(group);
        return group;
    }

    // The most space first; equal ones in digest order, the order the native groups come in.
    function byReclaimable(a, b) {
        return b.reclaimable - a.reclaimable || (a.hash < b.hash ? -1 : a.hash > b.hash ? 1 : 0);
    }

    // One row per group header and per file, so one fixed-height list shows them all.
    function flatten(groups) {
        const rows = [];
        groups.forEach((group, index) => {
            rows.push({group, index});
            for (const file of group.files) rows.push({group, index, file});
        });
        return rows;
    }

    // While scanning the table shows the groups that fill about this many rows; the full table
    // comes with the final report.
    const kLiveRows = 200;

    // The first `count` groups in byReclaimable order, found in one pass over them.
    function topGroups(groups, count) {
        const top = [];
        for (const group of groups) {
            if (top.length === count && byReclaimable(group, top[count - 1]) >= 0) continue;
            let at = top.length;
            while (at > 0 && byReclaimable(group, top[at - 1]) < 0) --at;
            top.splice(at, 0, group);
            if (top.length > count) top.pop();
        }
        return top;
    }

    function liveGroups(groups) {
        let rows = 0;
        let count = 0;
        while (count < groups.length && rows < kLiveRows) rows += 1 + groups[count++].files.length;
        return groups.slice(0, count);
    }

    function create(container) {
        // found: the groups reported so far by hash, with their totals.
        const state = {groups: [], rows: [], review: [], reviewAt: -1, found: new Map(),
                       foundFiles: 0, foundBytes: 0, protectionChanged: false};
        const base = new ScanSection(container, {
            state,
            id: 'dup',
            keys: {title: 'dup.title', desc: 'dup.desc', scan: 'dup.scan', rescan: 'dup.rescan',
                   delete: 'dup.delete', noneTicked: 'dup.noneTicked', error: 'dup.error',
                   scanningFolders: 'dup.scanningFolders'},
            chips: {settingKey: 'dup.folders', protectable: true,
                    defaults: ['%USERPROFILE%\\Documents', '%USERPROFILE%\\Pictures',
                               '%USERPROFILE%\\Downloads', '%USERPROFILE%\\Videos'],
                    onChange: () => remarkProtected()},
            natives: {start: 'startScanDuplicateFilesIncremental', stop: 'stopScanDuplicateFiles',
                      add: 'addScanDuplicateFilesFolder'},
            scanArgs: () => [],
            columnsClass: 'dup-cols',
            columns: [
                K.el('span', {role: 'columnheader'}),
                K.el('span', {role: 'columnheader', 'data-i18n': 'dup.col.file'}),
                K.el('span', {role: 'columnheader', class: 'cell-size', 'data-i18n': 'dup.col.size'}),
                K.el('span', {role: 'columnheader', 'data-i18n': 'dup.col.modified'}),
                K.el('span', {role: 'columnheader'}),
            ],
            render: renderRow,
            // Keyboard ticks obey the group rules like clicks do.
            tick: {tickable: (item) => Boolean(item.file), ticked: (item) => item.file.ticked,
                   set: (item, wanted) => R.setTicked(item.group, item.file, wanted)},
            onTicked: (refused) => {
                note.textContent = refusalNote(refused);
            },
            onBegin() {
                note.textContent = '';
                state.found = new Map();
                state.foundFiles = 0;
                state.foundBytes = 0;
                state.protectionChanged = false;
                setGroups([]);
            },
            fold,
            onProgress: showLive,
            onResult(type) {
                const groups = type === 'error' ? [] : Array.from(state.found.values());
                state.found = new Map();
                // Groups folded before a folder's protection changed are marked again.
                if (state.protectionChanged) markProtected(groups);
                setGroups(groups.sort(byReclaimable));
            },
            ticked,
            // The copies of each ticked file that stay: the program deletes a copy only while
            // one of them is still there unchanged.
            keepOf() {
                const groupOf = new Map();
                for (const group of state.groups) {
                    for (const file of group.files) groupOf.set(file, group);
                }
                return (file) => groupOf.get(file).files.filter((f) => !f.ticked);
            },
            // What is gone leaves the list; a group down to one file is no longer a duplicate.
            // Groups still waiting for a choice are counted again.
            onRemoved(gone) {
                const waiting = new Set(state.review.map((index) => state.groups[index]));
                const left = [];
                for (const group of state.groups) {
                    group.files = group.files.filter((f) => !gone.has(f));
                    if (group.files.length < 2) continue;
                    group.reclaimable = R.reclaimable(group);
                    group.line = '';
                    left.push(group);
                }
                left.sort((a, b) => b.reclaimable - a.reclaimable);
                setGroups(left);
                const review = [];
                left.forEach((group, index) => {
                    if (waiting.has(group)) review.push(index);
                });
                state.review = review;
                paintReview();
                list.refresh();
            },
            paintStatus,
            paintBar: paintHelpers,
            scanFacts() {
                let files = 0;
                for (const group of state.groups) files += group.files.length;
                return {groups: state.groups.length, files,
                        reclaimable_bytes: K.sum(state.groups, 'reclaimable')};
            },
        });
        const {ui, session, chips, list, status} = base;

        const helpers = K.el('div', {class: 'an-helpers', role: 'toolbar',
                                     'aria-label': t('dup.helpers')}, [
            K.button('secondary', 'dup.keepNewest', () => applyHelper(R.keepNewest)),
            K.button('secondary', 'dup.keepOldest', () => applyHelper(R.keepOldest)),
            K.button('secondary', 'dup.keepInFolder', () => keepInFolder()),
            K.button('secondary', 'dup.keepShortest', () => applyHelper(R.keepShortestPath)),
            K.button('secondary', 'dup.clear', () => applyHelper(R.clear)),
            K.button('secondary', 'dup.nextReview', () => nextReview(), {'data-role': 'review'}),
        ]);
        const reviewButton = helpers.querySelector('[data-role=review]');
        for (const button of helpers.querySelectorAll('button')) button.classList.add('small');
        const note = K.el('p', {class: 'an-note', role: 'status', 'aria-live': 'polite'});
        base.toolbar.after(helpers);
        status.after(note);
        list.scroller.addEventListener('change', onListChange);
        list.scroller.addEventListener('click', onListClick);

        // A path cut at its end would hide the deepest folder, the part that tells copies apart:
        // it is shortened in the middle to the width of its column, measured on a canvas. The
        // observer reads the width and the font after layout; rows only write.
        const fit = {width: 0, font: '', context: document.createElement('canvas').getContext('2d')};
        const pathCells = typeof ResizeObserver === 'function' ? new ResizeObserver((entries) => {
            const shown = entries.filter((entry) => entry.contentRect.width > 0);
            if (shown.length === 0) return;
            const style = getComputedStyle(shown[0].target);
            const font = [style.fontStyle, style.fontWeight, style.fontSize, style.fontFamily].join(' ');
            const width = Math.floor(Math.max(...shown.map((entry) => entry.contentRect.width)));
            if (width === fit.width && font === fit.font) return;
            Object.assign(fit, {width, font});
            fit.context.font = font;
            list.refresh();
        }) : null;

        function fittedPath(path) {
            if (fit.width <= 0 || !fit.context) return K.middle(path, 90);
            // A pixel to spare: the canvas and the row may round a glyph differently.
            const room = fit.width - 1;
            const measure = (text) => fit.context.measureText(text).width;
            const whole = measure(path);
            if (whole <= room) return path;
            let keep = Math.max(3, Math.floor(Array.from(path).length * room / whole));
            let text = K.middle(path, keep);
            while (keep > 3 && measure(text) > room) text = K.middle(path, --keep);
            return text;
        }

        // Both row shapes live in every pooled row, so scrolling never rebuilds nodes; the texts
        // that need Intl are made once per file and language.
        function buildRow(row) {
            row.classList.add('dup-cols');
            row.appendChild(K.el('span', {role: 'gridcell', class: 'dup-group-text'}));
            row.appendChild(K.el('span', {role: 'gridcell', class: 'cell-check'}, [
                K.el('input', {type: 'checkbox', 'data-action': 'tick'})]));
            const path = K.el('span', {role: 'gridcell', class: 'cell-name'});
            row.appendChild(path);
            if (pathCells) pathCells.observe(path);
            row.appendChild(K.el('span', {role: 'gridcell', class: 'cell-size'}));
            row.appendChild(K.el('span', {role: 'gridcell', class: 'cell-muted'}));
            row.appendChild(K.el('span', {role: 'gridcell'}, [
                K.el('button', {class: 'icon-button', type: 'button', 'data-action': 'open',
                                text: '\u2197'})]));
        }

        function renderRow(row, item) {
            if (!row.firstChild) buildRow(row);
            const isFile = Boolean(item.file);
            row.classList.toggle('dup-file', isFile);
            row.classList.toggle('dup-group', !isFile);
            const cells = row.children;
            const group = item.group;
            if (!isFile) {
                if (!group.line) {
                    group.line = K.plural('dup.groupLine', group.files.length, group.files[0].name,
                                          K.size(group.size), K.size(group.reclaimable));
                }
                cells[0].textContent = group.line;
                cells[0].title = group.line;
                row.classList.toggle('is-review', reviewSet().has(item.index));
                row.classList.remove('is-ticked', 'is-protected');
                return;
            }
            const file = item.file;
            if (!file.texts) file.texts = {size: K.size(file.size), date: K.date(file.modifiedTime)};
            if (file.texts.pathFit !== fit.width + fit.font) {
                file.texts.path = fittedPath(file.path);
                file.texts.pathFit = fit.width + fit.font;
            }
            const box = cells[1].firstChild;
            box.checked = file.ticked;
            box.disabled = file.protected;
            box.setAttribute('aria-label', file.path);
            cells[2].textContent = file.texts.path;
            cells[2].title = file.path + (file.protected ? ' \u2014 ' + t('dup.protected') : '');
            cells[3].textContent = file.protected ? t('dup.protected') : file.texts.size;
            // A file the last deletion could not remove says why, where its date was.
            cells[4].textContent = file.failure ? ScanSection.reasonText(file.failure) :
                file.texts.date;
            row.classList.toggle('is-failed', Boolean(file.failure));
            const open = cells[5].firstChild;
            open.title = t('large.openFolder');
            open.setAttribute('aria-label', open.title);
            row.classList.toggle('is-ticked', file.ticked);
            row.classList.toggle('is-protected', file.protected);
            row.classList.remove('is-review');
        }

        // A helper over tens of thousands of groups may leave most of them for review: each
        // group row asks, so the list is looked up as a set, made again when it is replaced.
        function reviewSet() {
            if (state.reviewSetOf !== state.review) {
                state.reviewSet = new Set(state.review);
                state.reviewSetOf = state.review;
            }
            return state.reviewSet;
        }

        // Texts made in the old language are made again on demand.
        function forgetTexts() {
            for (const group of state.groups) {
                group.line = '';
                for (const file of group.files) file.texts = null;
            }
        }

        function rowItem(target) {
            const row = target.closest('.vlist-row');
            return row ? state.rows[Number(row.dataset.index)] : null;
        }

        // Why a tick was refused: the last copy of a group, else a protected file.
        function refusalNote(refused) {
            if (refused.length === 0) return '';
            return refused.some((item) => !item.file.protected) ? t('dup.oneStays') :
                t('dup.protectedNote');
        }

        function toggle(item, wanted) {
            if (!item || !item.file) return;
            const accepted = R.setTicked(item.group, item.file, wanted);
            note.textContent = accepted ? '' : refusalNote([item]);
            list.refresh();
            base.paintBar();
        }

        function onListChange(event) {
            if (event.target.dataset.action === 'tick') {
                toggle(rowItem(event.target), event.target.checked);
            }
        }

        function onListClick(event) {
            const item = rowItem(event.target);
            if (item && item.file && event.target.dataset.action === 'open') {
                K.native('openFolder', [item.file.path], false);
            }
        }

        function applyHelper(rule, ...args) {
            state.review = rule(state.groups, ...args);
            paintReview();
            list.refresh();
            base.paintBar();
        }

        function paintReview() {
            state.reviewAt = -1;
            note.textContent = state.review.length ?
                K.plural('dup.reviewCount', state.review.length) : '';
            paintHelpers();
        }

        async function keepInFolder() {
            const picked = await K.pickFolders(t('dup.keepInFolder'));
            const folder = String(picked[0] || '');
            if (folder !== '') applyHelper(R.keepInFolder, folder);
        }

        function nextReview() {
            if (state.review.length === 0) return;
            state.reviewAt = (state.reviewAt + 1) % state.review.length;
            const groupIndex = state.review[state.reviewAt];
            const rowIndex = state.rows.findIndex((r) => !r.file && r.index === groupIndex);
            if (rowIndex >= 0) list.focusIndex(rowIndex);
        }

        function markProtected(groups) {
            const protectedFolders = protectedPaths(chips.folders);
            for (const group of groups) {
                for (const file of group.files) {
                    file.protected = protectedFolders.some((p) => R.isInside(file.path, p));
                    if (file.protected) file.ticked = false;
                }
            }
        }

        function remarkProtected() {
            if (session.running) state.protectionChanged = true;
            markProtected(state.groups);
            list.refresh();
            base.paintBar();
            paintStatus();
        }

        function ticked() {
            const files = [];
            for (const group of state.groups) {
                for (const file of group.files) if (file.ticked) files.push(file);
            }
            return files;
        }

        function paintHelpers() {
            // Nothing can be ticked while a scan runs: its two rows of idle buttons would only
            // push the table out of a small window.
            helpers.hidden = session.running;
            reviewButton.disabled = state.review.length === 0;
            for (const button of helpers.querySelectorAll('button')) {
                if (button !== reviewButton) {
                    button.disabled = state.groups.length === 0 || base.busy || session.running;
                }
            }
        }

        function paintStatus() {
            base.showTable();
            status.textContent = '';
            if (session.running && window.Progress) {
                // The progress panel shows the counts; one place is enough.
                return;
            }
            if (session.running) {
                status.textContent = K.plural('dup.soFar', state.found.size,
                                              K.elapsed(Date.now() - session.startedAt));
            } else if (chips.folders.length === 0) {
                base.showEmpty(t('large.noFolders'));
            } else if (!base.scanned) {
                base.showEmpty(t('dup.notScanned'));
            } else if (state.groups.length === 0) {
                base.showEmpty(t('dup.none'));
            } else {
                status.textContent = K.plural('dup.found', state.groups.length,
                                              K.size(K.sum(state.groups, 'reclaimable')));
            }
        }

        function setGroups(groups) {
            state.groups = groups;
            state.rows = flatten(groups);
            state.review = [];
            list.setItems(state.rows);
            paintStatus();
            base.paintBar();
        }

        // A report brings the groups that are new or grew, each whole: it replaces the group of
        // its hash, and the totals follow. Empty files' groups are left out (prepareGroup).
        function fold(data) {
            const protectedFolders = protectedPaths(chips.folders);
            for (const raw of Array.isArray(data && data.groups) ? data.groups : []) {
                const hash = String(raw && raw.hash || '');
                const before = state.found.get(hash);
                if (before) tally(before, -1);
                const group = prepareGroup(raw, protectedFolders);
                if (group) {
                    state.found.set(hash, group);
                    tally(group, 1);
                } else {
                    state.found.delete(hash);
                }
            }
        }

        function tally(group, sign) {
            state.foundFiles += sign * group.files.length;
            state.foundBytes += sign * group.reclaimable;
        }

        // The panel counts every group found so far, the table shows the biggest.
        function showLive() {
            const count = state.found.size;
            const files = state.foundFiles;
            const reclaimable = state.foundBytes;
            base.updatePanel({count, countText: () => [
                K.plural('dup.groups', count), K.plural('dup.files', files),
                t('dup.reclaimable', K.size(reclaimable))].join(' \u00b7 ')});
            // A group takes a row and two or more for its files: this many always fill the rows.
            setGroups(liveGroups(topGroups(state.found.values(), Math.ceil(kLiveRows / 3) + 1)));
        }

        // Screenshot states from made-up groups; nothing on disk is read or changed.
        function sampleReport(count) {
            const groups = [];
            const names = ['IMG_2041.jpg', 'Contract.pdf', 'Holiday.mp4', 'setup.exe', 'notes.docx'];
            for (let i = 0; i < count; ++i) {
                const name = names[i % names.length];
                const folders = ['Pictures/Phone/Camera roll 2023', 'Downloads', 'Documents/Old backup/Laptop 2019'];
                const copies = 2 + (i % 2);
                groups.push({hash: String(i), size: Math.round(900 * 1024 * 1024 / (1 + i)),
                             files: folders.slice(0, copies).map((folder, k) => ({
                                 path: 'C:/Users/Alex/' + folder + '/' + name, name,
                                 modifiedTime: '2024-0' + (k + 1) + '-0' + (1 + i % 9) + ' 10:0' + k,
                                 size: Math.round(900 * 1024 * 1024 / (1 + i))}))});
            }
            return {groups};
        }

        function fixture(name) {
            ui.banner.hidden = true;
            if (name === 'scanning') {
                base.pretendScanning(8000, sampleReport(6));
            } else if (name === 'empty') {
                base.pretendEnded('done', {groups: []});
            } else if (name === 'error') {
                base.pretendEnded('error', null);
            } else {
                base.pretendEnded('done', sampleReport(30));
                applyHelper(R.keepNewest);
            }
        }

        base.paintScanButton();
        setGroups([]);
        return base.hooks(fixture, {
            onLanguageChanged() {
                forgetTexts();
                base.onLanguageChanged();
            },
            debug: {session, state, list, chips, onEnd: (type, data) => base.end(type, data),
                    fold},
        });
    }

    App.registerSection({id: 'dup', order: 50, navKey: 'nav.dup', icon: 'dup', create});
})();
