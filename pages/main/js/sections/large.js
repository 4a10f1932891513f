// Large files: the biggest files under the chosen folders, largest first, with live results,
// Stop and Add folder while scanning. The scan reports only the files found since its previous
// report (startScanLargeFilesIncremental); the page keeps them and sorts them by size. Nothing is ticked by default: these are the user's own
// files. Delete and Move go through one confirm listing exactly the ticked files.
(function () {
    'use strict';

    const K = window.AnalysisKit;
    const t = K.t;
    const kMiB = 1024 * 1024;
    const kThresholdsMb = [50, 100, 500, 1024];
    const kLiveRows = 200;
    // Paths inside a sentence are shortened in the middle, to fit one line of a dialog title,
    // and kept whole there (no break at their spaces); the full path is in the tooltip.
    const kPathInText = 40;
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

    // The native record as the page keeps it. A scan brings tens of thousands of them, so
    // what only the filters need (kind, lower-case name) is worked out when a filter first asks.
    function prepare(record) {
        const parts = K.splitPath(record.path);
        return {path: String(record.path), name: String(record.name || parts.name),
                size: Number(record.size) || 0, modifiedTime: String(record.modifiedTime || ''),
                fileId: String(record.fileId || ''), links: Number(record.links) || 0,
                modifiedMsecs: Number(record.modifiedMsecs) || 0, freed: K.freedBytes(record),
                folder: parts.folder, kind: '', lower: '', ticked: false};
    }

    function kindOfFile(file) {
        if (file.kind === '') file.kind = kindOf(file.name);
        return file.kind;
    }

    const bySize = (a, b) => b.size - a.size;

    // Two lists sorted largest first as one; on equal sizes `a`'s files come first.
    function mergeBySize(a, b) {
        const out = new Array(a.length + b.length);
        let i = 0;
        let j = 0;
        let k = 0;
        while (i < a.length && j < b.length) out[k++] = a[i].size >= b[j].size ? a[i++] : b[j++];
        while (i < a.length) out[k++] = a[i++];
        while (j < b.length) out[k++] = b[j++];
        return out;
    }

    // Sorted runs, oldest first, kept as a binary counter keeps its bits: a run is merged with
    // the one before it while that one is no longer. So the list is sorted at the end by a few
    // linear merges instead of a sort of 60,000 files in one task.
    function addRun(runs, run) {
        runs.push(run);
        while (runs.length > 1 && runs[runs.length - 2].length <= runs[runs.length - 1].length) {
            const newer = runs.pop();
            runs.push(mergeBySize(runs.pop(), newer));
        }
    }

    function mergeRuns(runs) {
        let all = [];
        for (let i = runs.length - 1; i >= 0; --i) all = mergeBySize(runs[i], all);
        return all;
    }

    // The first `count` of two lists sorted largest first.
    function topOf(a, b, count) {
        const top = [];
        let i = 0;
        let j = 0;
        while (top.length < count && (i < a.length || j < b.length)) {
            top.push(j >= b.length || (i < a.length && a[i].size >= b[j].size) ? a[i++] : b[j++]);
        }
        return top;
    }

    function lowerName(file) {
        if (file.lower === '' && file.name !== '') file.lower = file.name.toLowerCase();
        return file.lower;
    }

    function create(container) {
        // found: every file reported so far, in sorted runs (addRun); live: the
        // biggest kLiveRows of them; total: the scan's counts.
        const state = {files: [], view: [], partial: false, kind: 'all', text: '', found: [],
                       live: [], total: {count: 0, bytes: 0},
                       minMb: Number(K.native('getSetting', ['large.minMb', '100'], '100')) || 100,
                       sort: 'size'};
        const sortButtons = {};
        const base = new ScanSection(container, {
            state,
            id: 'large',
            keys: {title: 'large.title', desc: 'large.desc', scan: 'large.scan',
                   rescan: 'large.rescan', delete: 'large.delete', noneTicked: 'large.noneTicked',
                   error: 'large.error', scanningFolders: 'large.scanningFolders'},
            chips: {settingKey: 'large.folders', defaults: ['%USERPROFILE%'],
                    onChange: () => paintStatus()},
            natives: {start: 'startScanLargeFilesIncremental', stop: 'stopScanLargeFiles',
                      add: 'addScanLargeFilesFolder'},
            scanArgs: () => [state.minMb * kMiB],
            columnsClass: 'large-cols',
            columns: [
                K.el('span', {role: 'columnheader'}),
                sortHeader('name', 'large.col.name'),
                K.el('span', {role: 'columnheader', 'data-i18n': 'large.col.folder'}),
                sortHeader('size', 'large.col.size'),
                sortHeader('modifiedTime', 'large.col.modified'),
                K.el('span', {role: 'columnheader'}),
            ],
            render: renderRow,
            tick: {tickable: () => true, ticked: (file) => file.ticked,
                   set(file, wanted) {
                       file.ticked = Boolean(wanted);
                       return true;
                   }},
            onBegin() {
                state.files = [];
                state.found = [];
                state.live = [];
                state.total = {count: 0, bytes: 0};
                state.partial = false;
                minSelect.disabled = true;
                applyView();
            },
            fold,
            onProgress: showLive,
            onResult(type) {
                minSelect.disabled = false;
                state.partial = type === 'stopped';
                state.files = type === 'error' ? [] : state.found[0] || [];
                state.found = [];
                state.live = [];
                applyView();
            },
            ticked,
            onRemoved(gone) {
                state.files = state.files.filter((f) => !gone.has(f));
                applyView();
            },
            paintStatus,
            paintBar: () => { moveButton.disabled = base.deleteButton.disabled; },
            scanFacts: () => ({files: state.files.length, bytes: K.sum(state.files, 'size'),
                               min_mb: state.minMb}),
        });
        const {ui, session, chips, list, status} = base;

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
        base.toolbar.appendChild(K.el('div', {class: 'an-filters'},
                                      [minLabel, kindLabel, textFilter]));
        list.scroller.addEventListener('click', onListClick);
        list.scroller.addEventListener('change', onListChange);

        const moveButton = K.button('secondary', 'large.move', () => moveSelected());
        ui.barActions.insertBefore(moveButton, base.deleteButton);

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
                view = view.filter((f) => (wantKind === 'all' || kindOfFile(f) === wantKind) &&
                                          (text === '' || lowerName(f).includes(text)));
            }
            if (state.sort !== 'size') view = view.slice().sort(compare(state.sort));
            state.view = view;
            for (const [key, cell] of Object.entries(sortButtons)) {
                cell.setAttribute('aria-sort', key === state.sort ?
                                  (key === 'name' ? 'ascending' : 'descending') : 'none');
            }
            list.setItems(view);
            paintStatus();
            base.paintBar();
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
            if (!file.texts) {
                file.texts = {size: K.size(file.size), date: K.date(file.modifiedTime),
                              folder: K.middle(file.folder, 60)};
            }
            cells[2].textContent = file.texts.folder;
            cells[2].title = file.folder;
            cells[3].textContent = file.texts.size;
            // A file the last deletion or move could not take says why, where its date was.
            cells[4].textContent = file.failure ? ScanSection.reasonText(file.failure) :
                file.texts.date;
            row.classList.toggle('is-failed', Boolean(file.failure));
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
            base.paintBar();
        }

        function ticked() {
            return state.files.filter((f) => f.ticked);
        }

        function paintStatus() {
            base.showTable();
            if (chips.folders.length === 0) {
                base.showEmpty(t('large.noFolders'));
                return;
            }
            if (session.running && window.Progress) {
                // The progress panel shows the counts; one place is enough.
                status.textContent = '';
                return;
            }
            if (session.running) {
                const total = state.total || {count: 0, bytes: 0};
                status.textContent = K.plural('large.scanning', total.count, K.size(total.bytes),
                                              K.elapsed(Date.now() - session.startedAt));
                return;
            }
            if (!base.scanned) {
                base.showEmpty(t('large.notScanned'));
                return;
            }
            if (state.files.length === 0) {
                base.showEmpty(t('large.none', K.size(state.minMb * kMiB)));
                return;
            }
            status.textContent = K.plural('large.found', state.files.length,
                                          K.size(K.sum(state.files, 'size'))) +
                (state.view.length !== state.files.length ?
                     ' \u00b7 ' + K.plural('large.shown', state.view.length) : '');
        }

        // A report brings the files found since the previous one and the counts of all of them.
        // After the final one the runs are merged, in that task, so the end has less to do.
        function fold(data, final) {
            const batch = (Array.isArray(data && data.list) ? data.list : []).map(prepare);
            batch.sort(bySize);
            addRun(state.found, batch);
            if (final) state.found = [mergeRuns(state.found)];
            state.live = topOf(state.live, batch, kLiveRows);
            const total = state.total;
            state.total = {
                count: Number.isFinite(data && data.count) ? data.count : total.count + batch.length,
                bytes: Number.isFinite(data && data.bytes) ? data.bytes : total.bytes + K.sum(batch, 'size')};
        }

        // While scanning only the biggest rows are shown: the full table comes with the end.
        function showLive() {
            state.files = state.live;
            // The scanner does not say which file it is reading: the line names the biggest
            // file found so far, and says so.
            const count = state.total.count;
            const biggest = state.files.length ? state.files[0].path : '';
            base.updatePanel({count, bytes: state.total.bytes,
                              countText: () => K.plural('large.files', count),
                              current: biggest && (() => t('large.largestSoFar', biggest))});
            applyView();
        }

        async function moveSelected() {
            const files = ticked();
            if (files.length === 0 || base.busy || session.running) return;
            const picked = await K.pickFolders(t('large.moveTitle'));
            const target = String(picked[0] || '').replace(/[\\/]+$/, '');
            if (target === '') return;
            // The ellipsis would offer a line break too: a word joiner holds it to its neighbour.
            const shortTarget = K.middle(target, kPathInText).replace(/ /g, '\u00a0')
                .replace('\u2026', '\u2026\u2060');
            const bytes = K.size(K.sum(files, 'size'));
            const ok = await K.confirm({
                title: K.plural('large.confirmMove', files.length, bytes, shortTarget),
                titleTip: target, items: ScanSection.confirmItems(files), skipped: [],
                note: t('large.moveNote'), dangerLabel: t('large.moveAmount', bytes)});
            if (!ok) return;
            const result = await base.runFiles(
                files, () => K.plural('large.moving', files.length), {target}, 'large_move');
            const moved = result.removed.length;
            const title = () => {
                if (result.stopped) {
                    return t('large.movedStopped', K.count(moved), K.count(result.count));
                }
                return moved === 0 ? t('large.movedNone') :
                    K.plural('large.moved', moved, K.size(K.sum(result.removed, 'size')));
            };
            K.summary(base.progressSlot, () => ({
                title: title(),
                detail: {text: t('large.movedTo', shortTarget), full: target},
                failed: result.failed.map((f) => ({label: f.path,
                                                   reason: ScanSection.reasonText(f.failure)})),
                failedHeading: K.plural('large.moveFailedCount', result.failed.length),
                actions: [{label: t('an.done'),
                           onClick: () => { base.progressSlot.textContent = ''; }},
                          {label: t('large.openTarget'),
                           onClick: () => K.native('openFolder', [target], false)}]}));
        }

        function onLanguageChanged() {
            for (const file of state.files) file.texts = null;
            fillSelects();
            base.onLanguageChanged();
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
                base.pretendScanning(12000, sampleReport(40));
            } else if (name === 'empty') {
                base.pretendEnded('done', {list: []});
            } else if (name === 'error') {
                base.pretendEnded('error', null);
            } else {
                base.pretendEnded('done', sampleReport(60));
                state.files[1].ticked = true;
                state.files[4].ticked = true;
                list.refresh();
                base.paintBar();
            }
        }

        fillSelects();
        base.paintScanButton();
        applyView();
        return base.hooks(fixture, {
            onLanguageChanged,
            // Page hooks for tests and benchmarks: feed a report through the page's own handler.
            debug: {session, state, list, chips, onEnd: (type, data) => base.end(type, data),
                    fold},
        });
    }

    App.registerSection({id: 'large', order: 40, navKey: 'nav.large', icon: 'large', create});
})();
