// Large files: the biggest files under the chosen folders, largest first, with live results,
// Stop and Add folder while scanning. Nothing is ticked by default: these are the user's own
// files. Delete and Move go through one confirm listing exactly the ticked files.
(function () {
    'use strict';

    const K = window.AnalysisKit;
    const t = K.t;
    const kMiB = 1024 * 1024;
    const kThresholdsMb = [50, 100, 500, 1024];
    const kLiveRows = 200;
    const kKinds = {
        video: 'mp4 mkv avi mov wmv flv webm m4v mpg mpeg ts vob',
        audio: 'mp3 flac wav aac ogg m4a wma',
        archive: 'zip rar 7z tar gz bz2 xz tgz cab',
        image: 'iso img vhd vhdx vmdk vdi dmg wim esd',
        installer: 'exe msi msix appx msu',
        document: 'pdf doc docx xls xlsx ppt pptx psd',
    };
    const kKindOf = {};
    for (const [kind, list] of Object.entries(kKinds)) {
        for (const extension of list.split(' ')) kKindOf[extension] = kind;
    }

    function kindOf(name) {
        const dot = name.lastIndexOf('.');
        return dot < 0 ? 'other' : kKindOf[name.slice(dot + 1).toLowerCase()] || 'other';
    }

    // The native record plus the keys the page sorts and filters by, computed once per scan.
    function prepare(record) {
        const name = String(record.name || K.splitPath(record.path).name);
        return {path: String(record.path), name, size: Number(record.size) || 0,
                modifiedTime: String(record.modifiedTime || ''),
                folder: K.splitPath(record.path).folder, kind: kindOf(name),
                lower: name.toLowerCase(), ticked: false};
    }

    function create(container) {
        const ui = K.frame(container, 'large', 'large.title', 'large.desc');
        const state = {files: [], view: [], partial: false, scanned: false, kind: 'all',
                       text: '', minMb: Number(K.native('getSetting', ['large.minMb', '100'],
                                                        '100')) || 100, sort: 'size'};
        let busy = false;

        const scanButton = K.button('primary', 'large.scan', () => toggleScan(), {'data-i18n': null});
        ui.headerActions.appendChild(scanButton);

        const chipsSlot = K.el('div', {class: 'an-folders'});
        const chips = new FolderChips(chipsSlot, {
            settingKey: 'large.folders', defaults: ['%USERPROFILE%'],
            onAdd: (path) => session.add(path),
            onChange: () => paintStatus(),
        });

        const minSelect = K.el('select', {class: 'field an-select', 'aria-label': t('large.minSize'),
                                          onchange: () => {
                                              state.minMb = Number(minSelect.value);
                                              K.native('setSetting', ['large.minMb',
                                                                      String(state.minMb)], false);
                                          }});
        const kindSelect = K.el('select', {class: 'field an-select', onchange: () => {
            state.kind = kindSelect.value;
            applyView();
        }});
        const textFilter = K.el('input', {class: 'field an-input', type: 'search',
                                          'data-i18n-placeholder': 'large.filter',
                                          oninput: () => {
                                              state.text = textFilter.value.trim().toLowerCase();
                                              applyView();
                                          }});
        const minLabel = K.el('label', {class: 'an-field'}, [
            K.el('span', {'data-i18n': 'large.minSize'}), minSelect]);
        const kindLabel = K.el('label', {class: 'an-field'}, [
            K.el('span', {'data-i18n': 'large.type'}), kindSelect]);
        ui.body.appendChild(K.el('div', {class: 'an-toolbar'},
                                 [chipsSlot, K.el('div', {class: 'an-filters'},
                                                  [minLabel, kindLabel, textFilter])]));

        const progressSlot = K.el('div', {class: 'an-progress-slot'});
        const status = K.el('p', {class: 'an-status', role: 'status', 'aria-live': 'polite'});
        ui.body.appendChild(progressSlot);
        ui.body.appendChild(status);

        const sortButtons = {};
        const head = K.el('div', {class: 'an-grid-head large-cols', role: 'row'}, [
            K.el('span', {role: 'columnheader'}),
            sortHeader('name', 'large.col.name'),
            K.el('span', {role: 'columnheader', 'data-i18n': 'large.col.folder'}),
            sortHeader('size', 'large.col.size'),
            sortHeader('modifiedTime', 'large.col.modified'),
            K.el('span', {role: 'columnheader'}),
        ]);
        const tableSlot = K.el('div', {class: 'an-table'});
        const empty = K.el('div', {class: 'empty an-empty', hidden: true});
        tableSlot.appendChild(head);
        ui.body.appendChild(tableSlot);
        ui.body.appendChild(empty);
        const list = new VirtualList(tableSlot, {rowHeight: 32, headerRows: 1,
                                                 label: t('large.title'), render: renderRow,
                                                 onKey});
        list.scroller.classList.add('large-list');
        list.scroller.addEventListener('click', onListClick);
        list.scroller.addEventListener('change', onListChange);

        const moveButton = K.button('secondary', 'large.move', () => moveSelected());
        const deleteButton = K.button('danger', 'large.delete', () => deleteSelected(), {'data-i18n': null});
        ui.barActions.appendChild(moveButton);
        ui.barActions.appendChild(deleteButton);

        const session = new ScanSession({
            start: (callback) => K.native('startScanLargeFiles',
                                          [JSON.stringify(chips.folders.map((f) => f.path)),
                                           state.minMb * kMiB, callback], 0),
            stop: (id) => K.native('stopScanLargeFiles', [id], false),
            add: (id, folder) => K.native('addScanLargeFilesFolder', [id, folder], false),
            liveRows: kLiveRows,
            onProgress: (data) => onReport(data, false),
            onEnd: (type, data) => onEnd(type, data),
        });
        let panel = null;
        let ticker = 0;

        function sortHeader(key, labelKey) {
            const button = K.el('button', {class: 'an-sort', type: 'button', 'data-i18n': labelKey,
                                           text: t(labelKey), onclick: () => setSort(key)});
            const cell = K.el('span', {role: 'columnheader', 'aria-sort': 'none',
                                       class: key === 'size' ? 'cell-size' : null}, [button]);
            sortButtons[key] = cell;
            return cell;
        }

        function setSort(key) {
            state.sort = key;
            applyView();
        }

        function fillSelects() {
            minSelect.textContent = '';
            for (const mb of kThresholdsMb) {
                minSelect.appendChild(K.el('option', {value: mb, selected: mb === state.minMb,
                                                      text: '\u2265 ' + K.size(mb * kMiB)}));
            }
            kindSelect.textContent = '';
            for (const kind of ['all'].concat(Object.keys(kKinds), ['other'])) {
                kindSelect.appendChild(K.el('option', {value: kind, selected: kind === state.kind,
                                                       text: t('large.kind.' + kind)}));
            }
        }

        function compare(key) {
            if (key === 'size') return (a, b) => b.size - a.size;
            if (key === 'modifiedTime') {
                return (a, b) => (a.modifiedTime < b.modifiedTime ? 1 :
                                  a.modifiedTime > b.modifiedTime ? -1 : 0);
            }
            const collator = new Intl.Collator(document.documentElement.lang || undefined,
                                               {sensitivity: 'base', numeric: true});
            return (a, b) => collator.compare(a.name, b.name);
        }

        function applyView() {
            const wantKind = state.kind;
            const text = state.text;
            let view = state.files;
            if (wantKind !== 'all' || text !== '') {
                view = view.filter((f) => (wantKind === 'all' || f.kind === wantKind) &&
                                          (text === '' || f.lower.includes(text)));
            }
            if (state.sort !== 'size') view = view.slice().sort(compare(state.sort));
            state.view = view;
            for (const [key, cell] of Object.entries(sortButtons)) {
                cell.setAttribute('aria-sort', key === state.sort ?
                                  (key === 'name' ? 'ascending' : 'descending') : 'none');
            }
            list.setItems(view);
            paintStatus();
            paintBar();
        }

        function renderRow(row, file) {
            if (!row.firstChild) {
                row.classList.add('large-cols');
                row.appendChild(K.el('span', {role: 'gridcell', class: 'cell-check'}, [
                    K.el('input', {type: 'checkbox', 'data-action': 'tick'})]));
                row.appendChild(K.el('span', {role: 'gridcell', class: 'cell-name'}));
                row.appendChild(K.el('span', {role: 'gridcell', class: 'cell-muted'}));
                row.appendChild(K.el('span', {role: 'gridcell', class: 'cell-size'}));
                row.appendChild(K.el('span', {role: 'gridcell', class: 'cell-muted'}));
                row.appendChild(K.el('span', {role: 'gridcell'}, [
                    K.el('button', {class: 'icon-button', type: 'button', 'data-action': 'open',
                                    text: '\u2197'})]));
            }
            const cells = row.children;
            const box = cells[0].firstChild;
            box.checked = file.ticked;
            box.setAttribute('aria-label', file.name);
            cells[1].textContent = file.name;
            cells[1].title = file.path;
            cells[2].textContent = file.texts ? file.texts.folder : K.middle(file.folder, 60);
            cells[2].title = file.folder;
            if (!file.texts) {
                file.texts = {size: K.size(file.size), date: K.date(file.modifiedTime),
                              folder: K.middle(file.folder, 60)};
            }
            cells[3].textContent = file.texts.size;
            cells[4].textContent = file.texts.date;
            const open = cells[5].firstChild;
            open.title = t('large.openFolder');
            open.setAttribute('aria-label', t('large.openFolder'));
            row.classList.toggle('is-ticked', file.ticked);
        }

        function itemOf(target) {
            const row = target.closest('.vlist-row');
            return row ? state.view[Number(row.dataset.index)] : null;
        }

        function onListClick(event) {
            const file = itemOf(event.target);
            if (!file) return;
            if (event.target.dataset.action === 'open') {
                K.native('openFolder', [file.path], false);
            }
        }

        function onListChange(event) {
            const file = itemOf(event.target);
            if (!file || event.target.dataset.action !== 'tick') return;
            file.ticked = event.target.checked;
            list.refresh();
            paintBar();
        }

        function onKey(event, file) {
            if (event.key === ' ' && file && event.target.classList.contains('vlist-row')) {
                event.preventDefault();
                file.ticked = !file.ticked;
                list.refresh();
                paintBar();
            }
        }

        function ticked() {
            return state.files.filter((f) => f.ticked);
        }

        function paintBar() {
            const chosen = ticked();
            const bytes = K.sum(chosen, 'size');
            ui.barText.textContent = chosen.length === 0 ? t('large.noneTicked') :
                t('an.selected', K.count(chosen.length), K.size(bytes));
            deleteButton.textContent = chosen.length === 0 ? t('large.delete') :
                t('large.deleteAmount', K.size(bytes));
            deleteButton.disabled = chosen.length === 0 || busy || session.running;
            moveButton.disabled = deleteButton.disabled;
        }

        function paintStatus() {
            empty.hidden = true;
            tableSlot.hidden = false;
            if (chips.folders.length === 0) {
                showEmpty(t('large.noFolders'));
                return;
            }
            if (session.running && window.Progress) {
                // The progress panel shows the counts; one place is enough.
                status.textContent = '';
                return;
            }
            if (session.running) {
                const total = state.total || {count: 0, bytes: 0};
                status.textContent = t('large.scanning', K.count(total.count), K.size(total.bytes),
                                       K.elapsed(Date.now() - session.startedAt));
                return;
            }
            if (!state.scanned) {
                status.textContent = '';
                showEmpty(t('large.notScanned'));
                return;
            }
            if (state.files.length === 0) {
                showEmpty(t('large.none', K.size(state.minMb * kMiB)));
                return;
            }
            status.textContent = t('large.found', K.count(state.files.length),
                                   K.size(K.sum(state.files, 'size'))) +
                (state.view.length !== state.files.length ?
                     ' \u00b7 ' + t('large.shown', K.count(state.view.length)) : '');
        }

        function showEmpty(text) {
            status.textContent = '';
            tableSlot.hidden = true;
            empty.hidden = false;
            empty.textContent = text;
        }

        function paintScanButton() {
            K.paintScanButton(scanButton, session, state.scanned,
                              {scan: 'large.scan', rescan: 'large.rescan'}, busy);
            minSelect.disabled = session.running;
        }

        function toggleScan() {
            if (session.running) {
                session.stop();
                paintScanButton();
                return;
            }
            if (chips.folders.length === 0 || busy) return;
            ui.banner.hidden = true;
            state.files = [];
            state.partial = false;
            panel = K.progress(progressSlot, {verb: t('large.scanningFolders',
                                                      K.count(chips.folders.length)),
                                              onStop: () => toggleScan()});
            session.begin();
            ticker = setInterval(paintStatus, 1000);
            paintScanButton();
            applyView();
        }

        // While scanning only the top rows are shown: the full table comes with the final report.
        // A live report may come already cut to its head, with the count and bytes of the whole.
        function onReport(data, final) {
            const records = Array.isArray(data && data.list) ? data.list : [];
            const shown = final ? records : records.slice(0, kLiveRows);
            const files = shown.map(prepare);
            state.files = files;
            state.total = {count: Number.isFinite(data && data.count) ? data.count : records.length,
                           bytes: Number.isFinite(data && data.bytes) ? data.bytes : K.sum(records, 'size')};
            if (panel && !final) {
                panel.update({count: state.total.count, bytes: state.total.bytes,
                              current: files.length ? files[0].path : ''});
            }
            applyView();
            if (!final && !window.Progress) {
                status.textContent = t('large.scanning', K.count(state.total.count),
                                       K.size(state.total.bytes),
                                       K.elapsed(Date.now() - session.startedAt));
            }
        }

        function onEnd(type, data) {
            clearInterval(ticker);
            if (panel) (type === 'stopped' ? panel.stopped() : panel.done());
            panel = null;
            progressSlot.textContent = '';
            state.scanned = true;
            if (type === 'error' || !data) {
                K.showBanner(ui.banner, 'danger', t('large.error'),
                             {label: t('an.retry'), run: () => toggleScan()});
                state.files = [];
            } else {
                onReport(data, true);
                state.partial = type === 'stopped';
                if (state.partial) K.showBanner(ui.banner, 'info', t('an.partial'));
            }
            paintScanButton();
            applyView();
        }

        async function runFiles(files, verbKey, operation) {
            busy = true;
            paintBar();
            paintScanButton();
            let stop = false;
            const job = K.progress(progressSlot, {verb: t(verbKey), onStop: () => {
                stop = true;
            }});
            const result = await DeleteFiles.run(files, {
                operation,
                shouldStop: () => stop,
                onProgress: (p) => job.update({current: p.current.path, count: p.done,
                                               bytes: p.bytes, fraction: p.fraction}),
            });
            job.done();
            const gone = new Set(result.removed);
            state.files = state.files.filter((f) => !gone.has(f));
            busy = false;
            applyView();
            paintScanButton();
            return result;
        }

        function failedList(result, reasonKey) {
            return result.failed.map((f) => ({label: f.path, reason: t(reasonKey)}));
        }

        function confirmItems(files) {
            return files.map((f) => ({label: f.path, detail: K.size(f.size)}));
        }

        async function deleteSelected() {
            const files = ticked();
            if (files.length === 0 || busy) return;
            const bytes = K.size(K.sum(files, 'size'));
            const ok = await K.confirm({
                title: t('large.confirmDelete', K.count(files.length), bytes),
                items: confirmItems(files), skipped: [], note: t('an.permanent'),
                dangerLabel: t('large.deleteAmount', bytes)});
            if (!ok) return;
            const result = await runFiles(files, 'large.deleting');
            K.summary(progressSlot, {
                freedBytes: K.sum(result.removed, 'size'),
                failed: failedList(result, 'an.inUse'),
                actions: [{label: t('an.done'), onClick: () => { progressSlot.textContent = ''; }},
                          {label: t('large.rescan'), onClick: () => toggleScan()}]});
        }

        async function moveSelected() {
            const files = ticked();
            if (files.length === 0 || busy) return;
            const picked = await K.pickFolders(t('large.moveTitle'));
            const target = String(picked[0] || '').replace(/[\\/]+$/, '');
            if (target === '') return;
            const bytes = K.size(K.sum(files, 'size'));
            const ok = await K.confirm({
                title: t('large.confirmMove', K.count(files.length), bytes, target),
                items: confirmItems(files), skipped: [], note: t('large.moveNote'),
                dangerLabel: t('large.moveAmount', bytes)});
            if (!ok) return;
            const result = await runFiles(files, 'large.moving', (file) => K.native(
                'moveFile', [file.path, target + '/' + file.name, false], false));
            K.summary(progressSlot, {
                title: t('large.moved', K.count(result.removed.length),
                         K.size(K.sum(result.removed, 'size')), target),
                freedBytes: 0, failed: failedList(result, 'large.moveFailed'),
                actions: [{label: t('an.done'), onClick: () => { progressSlot.textContent = ''; }},
                          {label: t('large.openTarget'),
                           onClick: () => K.native('openFolder', [target], false)}]});
        }

        function onLanguageChanged() {
            for (const file of state.files) file.texts = null;
            K.translate(ui.root);
            fillSelects();
            chips.render();
            list.refresh();
            paintScanButton();
            paintStatus();
            paintBar();
        }

        // Screenshot states from made-up records; nothing on disk is read or changed.
        function sampleReport(count) {
            const names = ['Holiday 2023.mp4', 'backup-full.zip', 'ubuntu-24.04.iso',
                           'Setup_Studio.exe', 'Family videos.mkv', 'Project archive.7z',
                           'Recording.wav', 'Scans.pdf', 'vm-disk.vhdx', 'data.bin'];
            const list = [];
            for (let i = 0; i < count; ++i) {
                list.push({path: 'C:/Users/Alex/' + ['Videos', 'Downloads', 'Documents/Work'][i % 3] +
                               '/' + names[i % names.length].replace('.', '-' + i + '.'),
                           name: names[i % names.length].replace('.', '-' + i + '.'),
                           size: Math.round(5.3 * 1024 * 1024 * 1024 / (1 + i * 0.37)),
                           modifiedTime: '2024-0' + (1 + i % 9) + '-1' + (i % 10) + ' 1' + (i % 10) +
                               ':2' + (i % 10)});
            }
            return {list};
        }

        function fixture(name) {
            ui.banner.hidden = true;
            if (name === 'scanning') {
                session.running = true;
                session.startedAt = Date.now() - 12000;
                panel = K.progress(progressSlot, {verb: t('large.scanningFolders',
                                                          K.count(chips.folders.length || 1)),
                                                  onStop: () => {}});
                onReport(sampleReport(40), false);
                paintScanButton();
            } else if (name === 'empty') {
                onEnd('done', {list: []});
            } else if (name === 'error') {
                onEnd('error', null);
            } else {
                onEnd('done', sampleReport(60));
                state.files[1].ticked = true;
                state.files[4].ticked = true;
                list.refresh();
                paintBar();
            }
        }

        fillSelects();
        paintScanButton();
        applyView();
        return K.scanSectionHooks({session, paintStatus, toggleScan, deleteSelected, fixture}, {
            onLanguageChanged,
            // Page hooks for tests and benchmarks: feed a report through the page's own handler.
            debug: {session, state, list, chips, onEnd, onReport},
        });
    }

    App.registerSection({id: 'large', order: 40, navKey: 'nav.large', icon: 'large', create});
})();
