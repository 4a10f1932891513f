// Duplicate files: groups of identical files under the chosen folders, largest reclaimable
// space first. Folders are Normal or Protected; a protected file is never ticked, and every
// group keeps at least one unticked copy whatever a helper or a click asks.
(function () {
    'use strict';

    const K = window.AnalysisKit;
    const t = K.t;
    const R = window.DuplicateRules;

    // Native groups come ordered by digest; the page wants the most space first. Empty files
    // are all "identical" and free nothing, so their group is hidden.
    function prepareGroups(data, folders) {
        const protectedFolders = folders.filter((f) => f.protected).map((f) => f.path);
        const groups = [];
        for (const raw of Array.isArray(data && data.groups) ? data.groups : []) {
            const size = Number(raw.size) || 0;
            const files = Array.isArray(raw.files) ? raw.files : [];
            if (size <= 0 || files.length < 2) continue;
            const group = {hash: String(raw.hash || ''), size, files: files.map((f) => ({
                path: String(f.path), name: String(f.name || K.splitPath(f.path).name),
                size, modifiedTime: String(f.modifiedTime || ''), ticked: false,
                protected: protectedFolders.some((p) => R.isInside(f.path, p)),
            }))};
            group.reclaimable = size * (group.files.length - 1);
            groups.push(group);
        }
        groups.sort((a, b) => b.reclaimable - a.reclaimable);
        return groups;
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

    function create(container) {
        const ui = K.frame(container, 'dup', 'dup.title', 'dup.desc');
        const state = {groups: [], rows: [], scanned: false, review: [], reviewAt: -1};
        let busy = false;
        let panel = null;

        const scanButton = K.button('primary', 'dup.scan', () => toggleScan(), {'data-i18n': null});
        ui.headerActions.appendChild(scanButton);
        const chipsSlot = K.el('div', {class: 'an-folders'});
        const chips = new FolderChips(chipsSlot, {
            settingKey: 'dup.folders', protectable: true,
            defaults: ['%USERPROFILE%\\Documents', '%USERPROFILE%\\Pictures',
                       '%USERPROFILE%\\Downloads', '%USERPROFILE%\\Videos'],
            onAdd: (path) => session.add(path),
            onChange: () => remarkProtected(),
        });
        ui.body.appendChild(K.el('div', {class: 'an-toolbar'}, [chipsSlot]));

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
        const progressSlot = K.el('div', {class: 'an-progress-slot'});
        const status = K.el('p', {class: 'an-status', role: 'status'});
        const tableSlot = K.el('div', {class: 'an-table'});
        const empty = K.el('div', {class: 'empty an-empty', hidden: true});
        ui.body.appendChild(helpers);
        ui.body.appendChild(progressSlot);
        ui.body.appendChild(status);
        ui.body.appendChild(note);
        tableSlot.appendChild(K.el('div', {class: 'an-grid-head dup-cols', role: 'row'}, [
            K.el('span', {role: 'columnheader'}),
            K.el('span', {role: 'columnheader', 'data-i18n': 'dup.col.file'}),
            K.el('span', {role: 'columnheader', class: 'cell-size', 'data-i18n': 'dup.col.size'}),
            K.el('span', {role: 'columnheader', 'data-i18n': 'dup.col.modified'}),
            K.el('span', {role: 'columnheader'}),
        ]));
        ui.body.appendChild(tableSlot);
        ui.body.appendChild(empty);
        const list = new VirtualList(tableSlot, {rowHeight: 32, headerRows: 1,
                                                 label: t('dup.title'), render: renderRow, onKey});
        list.scroller.addEventListener('change', onListChange);
        list.scroller.addEventListener('click', onListClick);

        const deleteButton = K.button('danger', 'dup.delete', () => deleteSelected(), {'data-i18n': null});
        ui.barActions.appendChild(deleteButton);

        const session = new ScanSession({
            start: (callback) => K.native('startScanDuplicateFiles',
                                          [JSON.stringify(chips.folders.map((f) => f.path)),
                                           callback], 0),
            stop: (id) => K.native('stopScanDuplicateFiles', [id], false),
            add: (id, folder) => K.native('addScanDuplicateFilesFolder', [id, folder], false),
            onProgress: (data) => onReport(data),
            onEnd: (type, data) => onEnd(type, data),
        });

        // Both row shapes live in every pooled row, so scrolling never rebuilds nodes; the texts
        // that need Intl are made once per file and language.
        function buildRow(row) {
            row.classList.add('dup-cols');
            row.appendChild(K.el('span', {role: 'gridcell', class: 'dup-group-text'}));
            row.appendChild(K.el('span', {role: 'gridcell', class: 'cell-check'}, [
                K.el('input', {type: 'checkbox', 'data-action': 'tick'})]));
            row.appendChild(K.el('span', {role: 'gridcell', class: 'cell-name'}));
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
                    group.line = t('dup.groupLine', group.files[0].name,
                                   K.count(group.files.length), K.size(group.size),
                                   K.size(group.reclaimable));
                }
                cells[0].textContent = group.line;
                cells[0].title = group.files[0].name;
                row.classList.toggle('is-review', state.review.includes(item.index));
                row.classList.remove('is-ticked', 'is-protected');
                return;
            }
            const file = item.file;
            if (!file.texts) {
                file.texts = {path: K.middle(file.path, 90), size: K.size(file.size),
                              date: K.date(file.modifiedTime)};
            }
            const box = cells[1].firstChild;
            box.checked = file.ticked;
            box.disabled = file.protected;
            box.setAttribute('aria-label', file.path);
            cells[2].textContent = file.texts.path;
            cells[2].title = file.path + (file.protected ? ' \u2014 ' + t('dup.protected') : '');
            cells[3].textContent = file.protected ? t('dup.protected') : file.texts.size;
            cells[4].textContent = file.texts.date;
            const open = cells[5].firstChild;
            open.title = t('large.openFolder');
            open.setAttribute('aria-label', open.title);
            row.classList.toggle('is-ticked', file.ticked);
            row.classList.toggle('is-protected', file.protected);
            row.classList.remove('is-review');
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

        function toggle(item, wanted) {
            if (!item || !item.file) return;
            if (!R.setTicked(item.group, item.file, wanted)) {
                note.textContent = item.file.protected ? t('dup.protectedNote') : t('dup.oneStays');
            } else {
                note.textContent = '';
            }
            list.refresh();
            paintBar();
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

        function onKey(event, item) {
            if (event.key === ' ' && item && item.file &&
                event.target.classList.contains('vlist-row')) {
                event.preventDefault();
                toggle(item, !item.file.ticked);
            }
        }

        function applyHelper(rule, ...args) {
            state.review = rule(state.groups, ...args);
            state.reviewAt = -1;
            note.textContent = state.review.length ?
                t('dup.reviewCount', K.count(state.review.length)) : '';
            list.refresh();
            paintBar();
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

        function remarkProtected() {
            const protectedFolders = chips.folders.filter((f) => f.protected).map((f) => f.path);
            for (const group of state.groups) {
                for (const file of group.files) {
                    file.protected = protectedFolders.some((p) => R.isInside(file.path, p));
                    if (file.protected) file.ticked = false;
                }
            }
            list.refresh();
            paintBar();
            paintStatus();
        }

        function ticked() {
            const files = [];
            for (const group of state.groups) {
                for (const file of group.files) if (file.ticked) files.push(file);
            }
            return files;
        }

        function paintBar() {
            const chosen = ticked();
            const bytes = K.sum(chosen, 'size');
            ui.barText.textContent = chosen.length === 0 ? t('dup.noneTicked') :
                t('an.selected', K.count(chosen.length), K.size(bytes));
            deleteButton.textContent = chosen.length === 0 ? t('dup.delete') :
                t('large.deleteAmount', K.size(bytes));
            deleteButton.disabled = chosen.length === 0 || busy || session.running;
            reviewButton.disabled = state.review.length === 0;
            for (const button of helpers.querySelectorAll('button')) {
                if (button !== reviewButton) {
                    button.disabled = state.groups.length === 0 || busy || session.running;
                }
            }
        }

        function showEmpty(text) {
            tableSlot.hidden = true;
            empty.hidden = false;
            empty.textContent = text;
        }

        function paintStatus() {
            tableSlot.hidden = false;
            empty.hidden = true;
            status.textContent = '';
            if (session.running && window.Progress) {
                // The progress panel shows the counts; one place is enough.
                status.textContent = '';
                return;
            }
            if (session.running) {
                status.textContent = t('dup.soFar', K.count(state.groups.length),
                                       K.elapsed(Date.now() - session.startedAt));
            } else if (chips.folders.length === 0) {
                showEmpty(t('large.noFolders'));
            } else if (!state.scanned) {
                showEmpty(t('dup.notScanned'));
            } else if (state.groups.length === 0) {
                showEmpty(t('dup.none'));
            } else {
                status.textContent = t('dup.found', K.count(state.groups.length),
                                       K.size(K.sum(state.groups, 'reclaimable')));
            }
        }

        function paintScanButton() {
            K.paintScanButton(scanButton, session, state.scanned,
                              {scan: 'dup.scan', rescan: 'dup.rescan'}, busy);
        }

        function setGroups(groups) {
            state.groups = groups;
            state.rows = flatten(groups);
            state.review = [];
            list.setItems(state.rows);
            paintStatus();
            paintBar();
        }

        let ticker = 0;
        function toggleScan() {
            if (session.running) {
                session.stop();
                paintScanButton();
                return;
            }
            if (chips.folders.length === 0 || busy) return;
            ui.banner.hidden = true;
            note.textContent = '';
            panel = K.progress(progressSlot, {verb: t('dup.scanningFolders',
                                                      K.count(chips.folders.length)),
                                              onStop: () => toggleScan()});
            session.begin();
            ticker = setInterval(paintStatus, 1000);
            setGroups([]);
            paintScanButton();
        }

        function onReport(data) {
            const groups = prepareGroups(data, chips.folders);
            if (panel) panel.update({count: groups.length});
            setGroups(groups);
        }

        function onEnd(type, data) {
            clearInterval(ticker);
            if (panel) (type === 'stopped' ? panel.stopped() : panel.done());
            panel = null;
            progressSlot.textContent = '';
            state.scanned = true;
            if (type === 'error' || !data) {
                setGroups([]);
                K.showBanner(ui.banner, 'danger', t('dup.error'),
                             {label: t('an.retry'), run: () => toggleScan()});
            } else {
                setGroups(prepareGroups(data, chips.folders));
                if (type === 'stopped') K.showBanner(ui.banner, 'info', t('an.partial'));
            }
            paintScanButton();
        }

        async function deleteSelected() {
            const files = ticked();
            if (files.length === 0 || busy) return;
            const bytes = K.size(K.sum(files, 'size'));
            const ok = await K.confirm({
                title: t('large.confirmDelete', K.count(files.length), bytes),
                items: files.map((f) => ({label: f.path, detail: K.size(f.size)})),
                skipped: [], note: t('an.permanent'),
                dangerLabel: t('large.deleteAmount', bytes)});
            if (!ok) return;
            busy = true;
            paintBar();
            let stop = false;
            const job = K.progress(progressSlot, {verb: t('large.deleting'),
                                                  onStop: () => { stop = true; }});
            const result = await DeleteFiles.run(files, {
                shouldStop: () => stop,
                onProgress: (p) => job.update({current: p.current.path, count: p.done,
                                               bytes: p.bytes, fraction: p.fraction}),
            });
            job.done();
            busy = false;
            // What is gone leaves the list; a group down to one file is no longer a duplicate.
            const gone = new Set(result.removed);
            const left = [];
            for (const group of state.groups) {
                group.files = group.files.filter((f) => !gone.has(f));
                if (group.files.length < 2) continue;
                group.reclaimable = group.size * (group.files.length - 1);
                group.line = '';
                left.push(group);
            }
            left.sort((a, b) => b.reclaimable - a.reclaimable);
            setGroups(left);
            K.summary(progressSlot, {
                freedBytes: K.sum(result.removed, 'size'),
                failed: result.failed.map((f) => ({label: f.path, reason: t('an.inUse')})),
                actions: [{label: t('an.done'), onClick: () => { progressSlot.textContent = ''; }},
                          {label: t('dup.rescan'), onClick: () => toggleScan()}]});
            paintScanButton();
        }

        // Screenshot states from made-up groups; nothing on disk is read or changed.
        function sampleReport(count) {
            const groups = [];
            const names = ['IMG_2041.jpg', 'Contract.pdf', 'Holiday.mp4', 'setup.exe', 'notes.docx'];
            for (let i = 0; i < count; ++i) {
                const name = names[i % names.length];
                const folders = ['Pictures/Phone', 'Downloads', 'Documents/Old backup'];
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
                session.running = true;
                session.startedAt = Date.now() - 8000;
                panel = K.progress(progressSlot, {verb: t('dup.scanningFolders',
                                                          K.count(chips.folders.length || 1)),
                                                  onStop: () => {}});
                onReport(sampleReport(6));
                paintScanButton();
            } else if (name === 'empty') {
                onEnd('done', {groups: []});
            } else if (name === 'error') {
                onEnd('error', null);
            } else {
                onEnd('done', sampleReport(30));
                applyHelper(R.keepNewest);
            }
        }

        paintScanButton();
        setGroups([]);
        return K.scanSectionHooks({session, paintStatus, toggleScan, deleteSelected, fixture}, {
            onLanguageChanged() {
                forgetTexts();
                K.translate(ui.root);
                chips.render();
                list.refresh();
                paintScanButton();
                paintStatus();
                paintBar();
            },
            debug: {session, state, list, onEnd},
        });
    }

    App.registerSection({id: 'dup', order: 50, navKey: 'nav.dup', icon: 'dup', create});
})();
