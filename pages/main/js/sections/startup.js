// Start-up items: what Windows starts at logon, and removal with a way back where one exists.
// The native side can only delete an entry, so the page keeps what it needs to restore it:
// the command of a per-user registry value (in settings) and a copy of a Startup-folder file.
// All-users entries cannot be restored from here, and the confirm says so.
(function () {
    'use strict';

    const K = window.AnalysisKit;
    const t = K.t;
    const kRemovedKey = 'startup.removed';

    function loadRemoved() {
        try {
            const list = JSON.parse(K.native('getSetting', [kRemovedKey, '[]'], '[]'));
            return Array.isArray(list) ? list : [];
        } catch (error) {
            return [];
        }
    }

    function saveRemoved(list) {
        K.native('setSetting', [kRemovedKey, JSON.stringify(list)], false);
    }

    function backupFolder() {
        const base = String(K.native('appDataPath', [], '') || '');
        return base === '' ? '' : base.replace(/[\\/]+$/, '') + '/Pellanor/StartupBackup';
    }

    // Registry items of the current user come back with setRegistryString; Startup-folder files
    // come back from their copy. Machine-wide items are not restorable from here.
    function undoable(item) {
        return item.scope === 'user' || item.type === 'folder' && item.scope !== 'machine';
    }

    function create(container) {
        const ui = K.frame(container, 'startup', 'startup.title', 'startup.desc');
        const state = {items: [], loaded: false, removed: loadRemoved(), errors: {}};
        const reload = K.button('secondary', 'startup.reload', () => load());
        ui.headerActions.appendChild(reload);
        const listNode = K.el('div', {class: 'rows', role: 'list',
                                      'aria-label': t('startup.title')});
        const empty = K.el('div', {class: 'empty an-empty', hidden: true});
        const removedTitle = K.el('h2', {class: 'subsection-title', 'data-i18n': 'startup.removedTitle',
                                         text: t('startup.removedTitle')});
        const removedList = K.el('div', {class: 'rows', role: 'list'});
        ui.body.appendChild(listNode);
        ui.body.appendChild(empty);
        ui.body.appendChild(removedTitle);
        ui.body.appendChild(removedList);
        ui.bar.hidden = true;

        function load() {
            listNode.textContent = '';
            listNode.appendChild(K.el('div', {class: 'an-skeleton', text: t('startup.loading')}));
            const data = K.nativeJson('getStartupItems', [], null);
            state.loaded = true;
            if (!data || !Array.isArray(data.list)) {
                state.items = [];
                K.showBanner(ui.banner, 'danger', t('startup.error'),
                             {label: t('an.retry'), run: () => load()});
            } else {
                ui.banner.hidden = true;
                state.items = data.list;
            }
            state.errors = {};
            paint();
        }

        function badge(textKey, kind) {
            return K.el('span', {class: 'an-badge an-badge-' + kind, text: t(textKey)});
        }

        function row(item, index) {
            const error = state.errors[index];
            return K.el('div', {class: 'row startup-row', role: 'listitem'}, [
                // The badges sit on the name's line so that the command keeps the width.
                K.el('div', {class: 'row-main'}, [
                    K.el('div', {class: 'row-name'}, [
                        K.el('span', {text: item.name || t('startup.unnamed')}),
                        badge(item.scope === 'machine' ? 'startup.allUsers' : 'startup.you',
                              item.scope === 'machine' ? 'machine' : 'user'),
                        badge(item.type === 'folder' ? 'startup.folder' : 'startup.registry',
                              'source')]),
                    K.el('div', {class: 'row-path', title: item.command},
                         [K.middle(item.command, 90)]),
                    error ? K.el('div', {class: 'row-note error', text: error}) : null,
                ]),
                // One group: when the row is too narrow both buttons go under the command.
                K.el('div', {class: 'startup-actions'}, [
                    K.el('button', {class: 'button secondary small', type: 'button',
                                    text: t('startup.copy'), title: t('startup.copyHelp'),
                                    onclick: () => copy(item.command)}),
                    K.el('button', {class: 'button secondary small', type: 'button',
                                    text: t('startup.remove'), onclick: () => remove(item, index)}),
                ]),
            ]);
        }

        function removedRow(entry, index) {
            return K.el('div', {class: 'row', role: 'listitem'}, [
                K.el('div', {class: 'row-main'}, [
                    K.el('div', {class: 'row-name', text: entry.name}),
                    K.el('div', {class: 'row-path', title: entry.command,
                                 text: K.middle(entry.command, 80)}),
                ]),
                K.el('button', {class: 'button secondary small', type: 'button',
                                text: t('startup.restore'), onclick: () => restore(index)}),
            ]);
        }

        function paint() {
            listNode.textContent = '';
            empty.hidden = !(state.loaded && state.items.length === 0);
            empty.textContent = t('startup.empty');
            state.items.forEach((item, index) => listNode.appendChild(row(item, index)));
            removedList.textContent = '';
            state.removed.forEach((entry, index) => removedList.appendChild(
                removedRow(entry, index)));
            removedTitle.hidden = state.removed.length === 0;
        }

        function copy(text) {
            if (K.native('copyToClipboard', [text], false) === true) K.toast(t('startup.copied'));
        }

        // A Startup-folder file is copied before it goes; without a copy it is not removed.
        function backUp(item) {
            const folder = backupFolder();
            if (folder === '' || K.native('mkdir', [folder], false) !== true) return '';
            const copyPath = folder + '/' + Date.now() + '-' + item.name;
            const source = item.location.replace(/[\\/]+$/, '') + '/' + item.name;
            return K.native('copyFile', [source, copyPath, false], false) === true ? copyPath : '';
        }

        async function remove(item, index) {
            const canUndo = undoable(item);
            const ok = await K.confirm({
                title: t('startup.confirmTitle', item.name),
                items: [{label: item.name, detail: item.command}], skipped: [],
                note: canUndo ? t('startup.undoNote') : t('startup.noUndoNote'),
                dangerLabel: t('startup.remove')});
            if (!ok) return;
            // Whether it went and could come back; never which entry it was.
            const tell = (outcome) => K.report('startup_remove', {
                outcome, undoable: canUndo, all_users: item.scope === 'machine'});
            let backup = '';
            if (item.type === 'folder' && canUndo) {
                backup = backUp(item);
                if (backup === '') {
                    tell('failed');
                    state.errors[index] = t('startup.backupFailed');
                    paint();
                    return;
                }
            }
            const removed = K.native('removeStartupItem', [item.type, item.location, item.name],
                                     false) === true;
            tell(removed ? 'done' : 'failed');
            if (!removed) {
                state.errors[index] = item.scope === 'machine' ? t('startup.needsAdmin') :
                                                                t('startup.removeFailed');
                paint();
                return;
            }
            if (canUndo) {
                state.removed.push({name: item.name, command: item.command, type: item.type,
                                    location: item.location, scope: item.scope, backup});
                saveRemoved(state.removed);
            }
            load();
        }

        function restore(index) {
            const entry = state.removed[index];
            let ok;
            if (entry.type === 'registry') {
                ok = K.native('setRegistryString', [entry.location, entry.name, entry.command],
                              false) === true;
            } else {
                const target = entry.location.replace(/[\\/]+$/, '') + '/' + entry.name;
                ok = K.native('copyFile', [entry.backup, target, false], false) === true;
                if (ok) K.native('removeFile', [entry.backup], false);
            }
            if (!ok) {
                K.showBanner(ui.banner, 'danger', t('startup.restoreFailed', entry.name));
                return;
            }
            state.removed.splice(index, 1);
            saveRemoved(state.removed);
            load();
        }

        const kSample = [
            {name: 'OneCloudSync', command: '"C:\\Program Files\\OneCloud\\sync.exe" /background',
             location: 'HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run',
             type: 'registry', scope: 'user'},
            {name: 'AudioTray', command: 'C:\\Windows\\System32\\audiotray.exe',
             location: 'HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run',
             type: 'registry', scope: 'machine'},
            {name: 'Notes.lnk', command: 'C:/Users/Alex/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup/Notes.lnk',
             location: 'C:\\Users\\Alex\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup',
             type: 'folder', scope: 'user'},
        ];

        return {
            show() {
                if (!state.loaded) load();
            },
            // Screenshot states from made-up items; nothing is read or changed.
            fixture(name) {
                state.loaded = true;
                ui.banner.hidden = true;
                state.items = name === 'empty' || name === 'error' ? [] : kSample.slice();
                if (name === 'error') {
                    K.showBanner(ui.banner, 'danger', t('startup.error'),
                                 {label: t('an.retry'), run: () => load()});
                }
                state.errors = name === 'results' ? {1: t('startup.needsAdmin')} : {};
                paint();
            },
            onLanguageChanged() {
                K.translate(ui.root);
                paint();
            },
        };
    }

    App.registerSection({id: 'startup', order: 60, navKey: 'nav.startup', icon: 'startup',
                         create});
})();
