// Programs: the installed programs with search, sort and Uninstall. Reading the list blocks
// the window for a moment, so a skeleton is painted first and the list is read once per visit
// (and again when the window comes back from an uninstaller).
(function () {
    'use strict';

    const K = window.AnalysisKit;
    const t = K.t;
    const kKiB = 1024;

    // installDate is yyyyMMdd as the installer wrote it; anything else is shown as nothing.
    function installTime(text) {
        const match = /^(\d{4})(\d{2})(\d{2})$/.exec(String(text || '').trim());
        if (!match) return 0;
        const time = new Date(Number(match[1]), Number(match[2]) - 1, Number(match[3])).getTime();
        return Number.isFinite(time) ? time : 0;
    }

    function prepare(record) {
        const name = String(record.name || '');
        return {name, publisher: String(record.publisher || ''),
                version: String(record.version || ''),
                bytes: (Number(record.estimatedSize) || 0) * kKiB,
                time: installTime(record.installDate),
                icon: String(record.displayIcon || ''),
                uninstall: String(record.uninstallString || ''),
                search: (name + ' ' + (record.publisher || '')).toLowerCase(),
                initial: (name.trim()[0] || '?').toUpperCase()};
    }

    // The engine draws the icon of any file for our pages: an image file itself, and on Windows
    // the program's own icon from its .exe or .dll. A file without icon fails the request.
    const kIconCss = 24;
    // The engine answers on the UI thread, one file at a time: rows that only fly past while
    // the list scrolls ask for nothing, and a row asks once it has been on screen this long.
    const kIconSettleMs = 60;

    function iconUrl(path) {
        const pixels = Math.round(kIconCss * (window.devicePixelRatio || 1));
        return 'this://app/$engine/icon?path=' + encodeURIComponent(path) + '&size=' + pixels;
    }

    function create(container) {
        const ui = K.frame(container, 'programs', 'programs.title', 'programs.desc');
        const state = {all: [], view: [], loaded: false, text: '', sort: 'name', waiting: false};
        const search = K.el('input', {class: 'field an-input', type: 'search',
                                      'data-i18n-placeholder': 'programs.search',
                                      oninput: () => {
                                          state.text = search.value.trim().toLowerCase();
                                          applyView();
                                      }});
        const sort = K.el('select', {class: 'field an-select', onchange: () => {
            state.sort = sort.value;
            applyView();
        }});
        ui.headerActions.appendChild(K.button('secondary', 'startup.reload', () => load()));
        ui.body.appendChild(K.el('div', {class: 'an-filters'}, [
            search, K.el('label', {class: 'an-field'}, [
                K.el('span', {'data-i18n': 'programs.sort'}), sort])]));
        const status = K.el('p', {class: 'an-status', role: 'status'});
        const tableSlot = K.el('div', {class: 'an-table'});
        const empty = K.el('div', {class: 'empty an-empty', hidden: true});
        ui.body.appendChild(status);
        ui.body.appendChild(tableSlot);
        ui.body.appendChild(empty);
        const list = new VirtualList(tableSlot, {rowHeight: 44, label: t('programs.title'),
                                                 render: renderRow});
        const icons = {due: new Set(), timer: 0, lastRender: 0};
        list.scroller.addEventListener('click', onClick);
        ui.bar.hidden = true;

        function fillSort() {
            sort.textContent = '';
            for (const key of ['name', 'size', 'date']) {
                sort.appendChild(K.el('option', {value: key, selected: key === state.sort,
                                                 text: t('programs.sort.' + key)}));
            }
        }

        function renderRow(row, program, index) {
            if (!row.firstChild) {
                row.classList.add('programs-cols');
                row.appendChild(K.el('span', {class: 'prog-icon', 'aria-hidden': 'true'}));
                // The version rides on the publisher's line: a column of its own left the name
                // too little room at the smallest window.
                row.appendChild(K.el('span', {class: 'prog-name', role: 'gridcell'}, [
                    K.el('span', {class: 'row-name'}), K.el('span', {class: 'row-path'})]));
                row.appendChild(K.el('span', {class: 'cell-size', role: 'gridcell'}));
                row.appendChild(K.el('span', {class: 'cell-muted', role: 'gridcell'}));
                row.appendChild(K.el('span', {role: 'gridcell'}, [
                    K.el('button', {class: 'button secondary small', type: 'button',
                                    'data-action': 'uninstall'})]));
            }
            const cells = row.children;
            paintIcon(cells[0], program, index);
            const about = [program.publisher, program.version].filter((p) => p !== '')
                .join(' \u00b7 ');
            cells[1].firstChild.textContent = program.name;
            cells[1].firstChild.title = program.name;
            cells[1].lastChild.textContent = about;
            cells[1].lastChild.title = about;
            cells[2].textContent = program.bytes > 0 ? K.size(program.bytes) : '';
            cells[3].textContent = program.time ? K.date(program.time) : '';
            cells[3].title = cells[3].textContent;
            const button = cells[4].firstChild;
            button.textContent = t('programs.uninstall');
            button.disabled = program.uninstall === '';
            button.setAttribute('aria-label', t('programs.uninstallNamed', program.name));
        }

        // A recycled row shows its new program's tile at once: the icon of the row it was
        // before is dropped, and a late answer for it is ignored.
        function paintIcon(cell, program, index) {
            if (cell.program !== program) {
                dropIcon(cell);
                cell.program = program;
                cell.textContent = program.initial;
                cell.classList.remove('has-image');
            }
            if (program.icon === '' || program.iconFailed || cell.image) return;
            if (list.isOnScreen(index)) icons.due.add(cell);
            icons.lastRender = performance.now();
            if (!icons.timer) icons.timer = setTimeout(loadDueIcons, kIconSettleMs);
        }

        function dropIcon(cell) {
            const image = cell.image;
            if (!image) return;
            image.onload = image.onerror = null;
            image.removeAttribute('src');
            cell.image = null;
        }

        function loadDueIcons() {
            const waited = performance.now() - icons.lastRender;
            if (waited < kIconSettleMs) {
                icons.timer = setTimeout(loadDueIcons, kIconSettleMs - waited);
                return;
            }
            icons.timer = 0;
            for (const cell of icons.due) {
                const row = cell.parentNode;
                if (cell.program && !cell.image && !row.hidden &&
                    list.isOnScreen(Number(row.dataset.index))) {
                    loadIcon(cell, cell.program);
                }
            }
            icons.due.clear();
        }

        // The tile stays until a picture has arrived, and for good when none comes: never a
        // blank square or a broken-image sign.
        function loadIcon(cell, program) {
            const image = new Image();
            image.alt = '';
            image.onload = () => {
                if (cell.image !== image) return;
                if (image.naturalWidth === 0) {
                    image.onerror();
                    return;
                }
                cell.textContent = '';
                cell.classList.add('has-image');
                cell.appendChild(image);
            };
            image.onerror = () => {
                program.iconFailed = true;
                if (cell.image === image) cell.image = null;
            };
            cell.image = image;
            image.src = iconUrl(program.icon);
        }

        function comparer() {
            const collator = new Intl.Collator(document.documentElement.lang || undefined,
                                               {sensitivity: 'base', numeric: true});
            const byName = (a, b) => collator.compare(a.name, b.name);
            if (state.sort === 'size') return (a, b) => b.bytes - a.bytes || byName(a, b);
            if (state.sort === 'date') return (a, b) => b.time - a.time || byName(a, b);
            return byName;
        }

        function applyView() {
            const text = state.text;
            state.view = (text === '' ? state.all.slice() :
                                        state.all.filter((p) => p.search.includes(text)))
                             .sort(comparer());
            list.setItems(state.view);
            tableSlot.hidden = state.loaded && state.view.length === 0;
            empty.hidden = !tableSlot.hidden;
            empty.textContent = state.all.length === 0 ? t('programs.none') :
                                                         t('programs.noMatch', search.value);
            status.textContent = state.loaded ?
                K.plural('programs.count', state.all.length, K.count(state.view.length)) : '';
        }

        let loads = 0;
        async function load() {
            const mine = ++loads;
            tableSlot.hidden = true;
            empty.hidden = true;
            status.textContent = '';
            const skeleton = K.el('div', {class: 'an-skeleton-block'}, [0, 1, 2, 3, 4].map(
                () => K.el('div', {class: 'an-skeleton'})));
            ui.body.appendChild(skeleton);
            const data = await K.busy(t('programs.loading'),
                                      () => K.nativeJson('getInstalledPrograms', [], null));
            skeleton.remove();
            // A newer load (or a screenshot fixture) has taken over meanwhile.
            if (mine !== loads) return;
            state.loaded = true;
            if (!data || !Array.isArray(data.list)) {
                state.all = [];
                shownNotice = null;
                K.showBanner(ui.banner, 'danger', t('programs.error'),
                             {label: t('an.retry'), run: () => load()});
            } else {
                if (!state.waiting) ui.banner.hidden = true;
                state.all = data.list.map(prepare);
            }
            applyView();
        }

        async function onClick(event) {
            if (event.target.dataset.action !== 'uninstall') return;
            const row = event.target.closest('.vlist-row');
            const program = row && state.view[Number(row.dataset.index)];
            if (!program) return;
            const detail = [program.publisher, program.version].filter((p) => p !== '').join(' \u00b7 ');
            const ok = await K.confirm({title: t('programs.confirm', program.name),
                                        items: [{label: program.name, detail}], skipped: [],
                                        note: t('programs.confirmNote'),
                                        dangerLabel: t('programs.uninstall')});
            if (!ok) return;
            const started = K.native('uninstallProgram', [program.uninstall], false) === true;
            // That an uninstaller was started, never which program's.
            K.report('uninstall_start', {outcome: started ? 'started' : 'failed'});
            if (!started) {
                notice('danger', 'programs.launchFailed', program.name);
                return;
            }
            state.waiting = true;
            notice('info', 'programs.waiting', program.name);
        }

        // The uninstaller's banner is kept as its key, so a language switch re-reads it.
        let shownNotice = null;
        function notice(kind, key, name) {
            shownNotice = {kind, key, name};
            K.showBanner(ui.banner, kind, t(key, name));
        }

        // Back from the uninstaller: the list is read again.
        window.addEventListener('focus', () => {
            if (!state.waiting) return;
            state.waiting = false;
            shownNotice = null;
            ui.banner.hidden = true;
            load();
        });

        fillSort();
        return {
            show() {
                if (!state.loaded) load();
            },
            onLanguageChanged() {
                K.translate(ui.root);
                if (shownNotice && !ui.banner.hidden) {
                    notice(shownNotice.kind, shownNotice.key, shownNotice.name);
                }
                fillSort();
                applyView();
            },
            // Screenshot states from made-up programs; nothing is read or changed.
            fixture(name) {
                ++loads;
                state.loaded = true;
                shownNotice = null;
                ui.banner.hidden = true;
                const names = [['Photo Studio', 'Lumen Labs', '12.4.1', 1843200, '20240312'],
                               ['Archive Manager', 'Open Tools', '23.01', 5632, '20230905'],
                               ['Code Editor', 'Northwind', '1.88.0', 389120, '20240402'],
                               ['Media Player', 'Aurora Media', '3.0.20', 174080, ''],
                               ['Office Suite', 'Contoso', '16.0.17328', 2936012, '20240110'],
                               ['Zip Helper', '', '2.1', 0, '20220101']];
                state.all = name === 'empty' ? [] : names.map(([n, p, v, kb, d]) => prepare({
                    name: n, publisher: p, version: v, estimatedSize: kb, installDate: d,
                    uninstallString: 'C:\\Program Files\\' + n + '\\uninstall.exe'}));
                if (name === 'error') {
                    K.showBanner(ui.banner, 'danger', t('programs.error'),
                                 {label: t('an.retry'), run: () => load()});
                }
                applyView();
            },
            debug: {state, list, load},
        };
    }

    App.registerSection({id: 'programs', order: 70, navKey: 'nav.programs', icon: 'programs',
                         create});
})();
