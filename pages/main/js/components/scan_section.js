// What the two file-scan sections (large files, duplicates) have in common: the scan button,
// the folder chips, the progress panel, the table with keyboard ticking, the action bar with
// Delete, the ending of a scan (partial or failed), and deleting the ticked files behind one
// confirm. Each section keeps only what it shows differently.
//
// new ScanSection(container, {
//     id, state (the section's state object; `scanned` is kept there), keys: {title, desc, scan, rescan, delete, noneTicked, error, scanningFolders},
//     chips: FolderChips options (onAdd is ours), natives: {start, stop, add},
//     scanArgs() -> native arguments before the callback,
//     columns: [header cells], columnsClass, render(row, item), tick, onTicked(refused),
//     onBegin(), fold(report data: what is new, final), onProgress() (paint what was folded),
//     onResult(type, data|null) (the final report's data, already folded), ticked() -> files,
//     onRemoved(removed: Set), paintStatus(), paintBar(),
//     scanFacts() -> the counts and sizes of the scan just ended, for its usage event})
// .ui, .session, .chips, .list, .body parts, .toggleScan(), .deleteSelected(), .runFiles(),
// .hooks(extra) for App.registerSection.
(function () {
    'use strict';

    const K = window.AnalysisKit;
    const t = K.t;

    class ScanSection {
        constructor(container, setup) {
            this.setup = setup;
            // `scanned` lives in the section's own state, where its tests and hooks read it.
            this.state = setup.state;
            this.state.scanned = false;
            this.busy = false;
            this.panel = null;
            this.job = null;
            this.ticker = 0;
            // When the scan in hand was started by the user; a fixture's pretended scan has none
            // and sends no usage event.
            this.scanBegun = 0;
            const keys = setup.keys;
            this.ui = K.frame(container, setup.id, keys.title, keys.desc);
            this.scanButton = K.button('primary', keys.scan, () => this.toggleScan(),
                                       {'data-i18n': null});
            this.ui.headerActions.appendChild(this.scanButton);

            const chipsSlot = K.el('div', {class: 'an-folders'});
            this.chips = new FolderChips(chipsSlot, Object.assign({}, setup.chips, {
                onAdd: (path) => this.session.add(path),
            }));
            this.toolbar = K.el('div', {class: 'an-toolbar'}, [chipsSlot]);
            this.progressSlot = K.el('div', {class: 'an-progress-slot'});
            this.status = K.el('p', {class: 'an-status', role: 'status', 'aria-live': 'polite'});
            this.tableSlot = K.el('div', {class: 'an-table'});
            this.empty = K.el('div', {class: 'empty an-empty', hidden: true});
            this.tableSlot.appendChild(K.el('div', {class: 'an-grid-head ' + setup.columnsClass,
                                                    role: 'row'}, setup.columns));
            for (const part of [this.toolbar, this.progressSlot, this.status, this.tableSlot,
                                this.empty]) {
                this.ui.body.appendChild(part);
            }
            this.list = new VirtualList(this.tableSlot, {
                rowHeight: 32, headerRows: 1, label: t(keys.title), render: setup.render,
                tick: setup.tick, onTicked: ({refused}) => {
                    if (setup.onTicked) setup.onTicked(refused);
                    this.paintBar();
                }});
            this.list.scroller.classList.add(setup.id + '-list');

            this.deleteButton = K.button('danger', keys.delete, () => this.deleteSelected(),
                                         {'data-i18n': null});
            this.ui.barActions.appendChild(this.deleteButton);

            const natives = setup.natives;
            this.session = new ScanSession({
                start: (callback) => K.native(natives.start, [JSON.stringify(
                    this.chips.folders.map((f) => f.path))].concat(setup.scanArgs(), [callback]), 0),
                stop: (id) => K.native(natives.stop, [id], false),
                add: (id, folder) => K.native(natives.add, [id, folder], false),
                fold: (data, final) => setup.fold(data, final),
                onProgress: () => setup.onProgress(),
                onEnd: (type, data) => this.end(type, data),
            });
        }

        // The scanning panel: "Searching 3 folders", the counts the section reports, elapsed
        // time and an indeterminate bar (a scan never knows its total).
        openPanel(startedAt) {
            this.panel = K.progress(this.progressSlot, {
                verb: () => K.plural(this.setup.keys.scanningFolders,
                                     Math.max(1, this.chips.folders.length)),
                startedAt, onStop: () => this.toggleScan()});
        }

        updatePanel(values) {
            if (this.panel) this.panel.update(values);
        }

        toggleScan() {
            if (this.session.running) {
                this.session.stop();
                // However the stop was asked for (button, Esc, the panel), the panel says so.
                if (this.panel && typeof this.panel.requestStop === 'function') {
                    this.panel.requestStop();
                }
                this.paintScanButton();
                return;
            }
            if (this.chips.folders.length === 0 || this.busy) return;
            this.ui.banner.hidden = true;
            this.progressSlot.textContent = '';
            this.openPanel();
            this.scanBegun = Date.now();
            this.session.begin();
            // A scan that could not start has already ended (and said so) inside begin().
            if (!this.session.running) return;
            this.ticker = setInterval(() => this.setup.paintStatus(), 1000);
            this.setup.onBegin();
            this.paintScanButton();
        }

        end(type, data) {
            clearInterval(this.ticker);
            if (this.panel) (type === 'stopped' ? this.panel.stopped() : this.panel.done());
            this.panel = null;
            this.progressSlot.textContent = '';
            this.scanned = true;
            const failed = type === 'error' || !data;
            if (failed) {
                this.setup.onResult('error', null);
                K.showBanner(this.ui.banner, 'danger', t(this.setup.keys.error),
                             {label: t('an.retry'), run: () => this.toggleScan()});
            } else {
                this.setup.onResult(type, data);
                if (type === 'stopped') K.showBanner(this.ui.banner, 'info', t('an.partial'));
            }
            this.paintScanButton();
            if (this.scanBegun) {
                const facts = failed || !this.setup.scanFacts ? {} : this.setup.scanFacts();
                K.report(this.setup.id + '_scan', Object.assign({}, facts, {
                    folders: this.chips.folders.length, duration_ms: K.since(this.scanBegun),
                    outcome: failed ? 'failed' : type === 'stopped' ? 'stopped' : 'done'}));
                this.scanBegun = 0;
            }
        }

        // A fixture's "scanning" state: the panel as a running scan shows it after one report
        // of `data`, nothing started.
        pretendScanning(ageMs, data) {
            this.scanBegun = 0;
            this.session.running = true;
            this.session.startedAt = Date.now() - ageMs;
            if (this.panel) this.panel.done();
            this.progressSlot.textContent = '';
            this.openPanel(this.session.startedAt);
            this.paintScanButton();
            this.setup.onBegin();
            this.setup.fold(data);
            this.setup.onProgress();
        }

        // A fixture's finished states: as the end of a real scan whose one report was `data`,
        // with nothing running.
        pretendEnded(type, data) {
            this.session.running = false;
            this.session.stopping = false;
            this.setup.onBegin();
            if (data) this.setup.fold(data, true);
            this.end(type, data);
        }

        paintScanButton() {
            K.paintScanButton(this.scanButton, this.session, this.scanned,
                              {scan: this.setup.keys.scan, rescan: this.setup.keys.rescan},
                              this.busy);
            this.chips.setScanning(this.session.running);
        }

        paintBar() {
            const chosen = this.setup.ticked();
            // What deleting gives back, not what the files weigh: a hard-linked file frees nothing.
            const bytes = K.sum(chosen, 'freed');
            this.ui.barText.textContent = chosen.length === 0 ? t(this.setup.keys.noneTicked) :
                K.plural('an.selected', chosen.length, K.size(bytes));
            this.deleteButton.textContent = chosen.length === 0 ? t(this.setup.keys.delete) :
                t('large.deleteAmount', K.size(bytes));
            this.deleteButton.disabled = chosen.length === 0 || this.busy || this.session.running;
            if (this.setup.paintBar) this.setup.paintBar();
        }

        showEmpty(text) {
            this.status.textContent = '';
            this.tableSlot.hidden = true;
            this.empty.hidden = false;
            this.empty.textContent = text;
        }

        showTable() {
            this.tableSlot.hidden = false;
            this.empty.hidden = true;
        }

        // Removes (or, with `options.target`, moves) `files` behind a progress panel with Stop;
        // what went leaves the lists through the section's onRemoved, what failed stays listed,
        // unticked and with its reason. `event` names the usage event that tells how it went
        // (counts and sizes only).
        async runFiles(files, verb, options, event) {
            const begun = Date.now();
            this.busy = true;
            this.paintBar();
            this.paintScanButton();
            let stop = false;
            const job = K.progress(this.progressSlot, {verb, onStop: () => { stop = true; }});
            this.job = job;
            const result = await DeleteFiles.run(files, {
                target: options && options.target,
                keepOf: this.setup.keepOf ? this.setup.keepOf() : null,
                shouldStop: () => stop,
                onProgress: (p) => job.update({
                    current: p.current.path, count: p.done, bytes: p.bytes, fraction: p.fraction,
                    countText: () => t('an.progressOf', K.count(p.done), K.count(p.count))}),
            });
            job.done();
            this.job = null;
            this.busy = false;
            for (const file of result.failed) file.ticked = false;
            this.setup.onRemoved(new Set(result.removed));
            this.paintBar();
            this.paintScanButton();
            K.report(event || this.setup.id + '_delete', {
                files: result.removed.length, bytes: result.freedBytes,
                failed: result.failed.length, duration_ms: K.since(begun),
                outcome: result.stopped ? 'stopped' : 'done'});
            return result;
        }

        stopJob() {
            if (!this.job) return false;
            if (typeof this.job.requestStop === 'function') this.job.requestStop();
            return true;
        }

        // Never while a scan runs: its next report would bring the deleted files back and drop
        // the ticks, so the key does what the disabled button does.
        async deleteSelected() {
            const files = this.setup.ticked();
            if (files.length === 0 || this.busy || this.session.running) return;
            const bytes = K.size(K.sum(files, 'freed'));
            const ok = await K.confirm({
                title: K.plural('large.confirmDelete', files.length, bytes),
                items: confirmItems(files), skipped: [], note: t('an.permanent'),
                dangerLabel: t('large.deleteAmount', bytes)});
            if (!ok) return;
            const result = await this.runFiles(files, () => K.plural('large.deleting', files.length));
            K.summary(this.progressSlot, () => ({
                // A stop says how far it got; the freed size follows on its own line.
                title: result.stopped ? t('an.stoppedOf', K.count(result.removed.length),
                                          K.count(result.count)) : undefined,
                detail: result.stopped ? {text: t('an.freed', K.size(result.freedBytes)),
                                          full: ''} : undefined,
                freedBytes: result.freedBytes,
                failed: result.failed.map((f) => ({label: f.path, reason: reasonText(f.failure)})),
                actions: [{label: t('an.done'), onClick: () => { this.progressSlot.textContent = ''; }},
                          {label: t(this.setup.keys.rescan), onClick: () => this.toggleScan()}]}));
        }

        onLanguageChanged() {
            K.translate(this.ui.root);
            this.list.scroller.setAttribute('aria-label', t(this.setup.keys.title));
            this.chips.render();
            this.list.refresh();
            this.paintScanButton();
            this.setup.paintStatus();
            this.paintBar();
        }

        // What App asks of the section: Esc stops the scan or the deletion in hand, F5 scans,
        // Delete opens the confirm.
        hooks(fixture, extra) {
            const section = {
                session: this.session,
                paintStatus: () => this.setup.paintStatus(),
                toggleScan: () => this.toggleScan(),
                deleteSelected: () => this.deleteSelected(),
                fixture,
            };
            const hooks = K.scanSectionHooks(section, extra);
            const escape = hooks.onEscape;
            hooks.onEscape = () => {
                if (!this.stopJob()) escape();
            };
            return hooks;
        }
    }

    Object.defineProperty(ScanSection.prototype, 'scanned', {
        get() { return this.state.scanned; },
        set(value) { this.state.scanned = value; },
    });

    // The words for a reason code of DeleteFiles.
    function reasonText(code) {
        const known = ['changed', 'inUse', 'accessDenied', 'notFound', 'targetExists'];
        return t('an.reason.' + (known.includes(code) ? code : 'error'));
    }

    function confirmItems(files) {
        return files.map((f) => ({label: f.path, detail: K.size(f.size)}));
    }

    ScanSection.confirmItems = confirmItems;
    ScanSection.reasonText = reasonText;
    window.ScanSection = ScanSection;
})();
