// The folder picker: well-known places, drives, recent picks, a path field and the system's
// folder dialog. It answers the page that opened it over the "pellanor-pick" channel with
// {type: "picked", folders} or {type: "cancelled"}, then closes.
(function () {
    'use strict';

    const kChannel = 'pellanor-pick';
    const kRecent = 'recentFolders';
    const kRecentLimit = 6;
    const kWidth = 560;
    const kHeight = 520;
    // The scans expand these themselves, so they stay right for any user name.
    const kPlaces = [['pick.downloads', '%USERPROFILE%\\Downloads'], ['pick.documents', '%USERPROFILE%\\Documents'],
                     ['pick.pictures', '%USERPROFILE%\\Pictures'], ['pick.videos', '%USERPROFILE%\\Videos']];

    const S = (key, ...args) => MainStrings.t(key, ...args);
    const log = Logger.create('FolderPicker');
    const channel = typeof BroadcastChannel === 'function' ? new BroadcastChannel(kChannel) : null;
    const chosen = [];
    const element = (id) => document.getElementById(id);

    function native(method, args, fallback) {
        return Pellanor.callNative('NativeUtil', method, args || [], fallback);
    }

    function recent() {
        try {
            const list = JSON.parse(native('getSetting', [kRecent, '[]'], '[]'));
            return Array.isArray(list) ? list.filter((p) => typeof p === 'string') : [];
        } catch (error) {
            return [];
        }
    }

    function add(path) {
        const folder = String(path || '').trim();
        if (folder === '') return;
        // A "?" is where the ANSI code page lost a character: the path would not exist.
        if (folder.includes('?')) {
            element('path').value = folder;
            element('path-note').textContent = S('pick.ansi');
            element('path').focus();
            return;
        }
        element('path-note').textContent = '';
        if (!chosen.some((p) => p.toLowerCase() === folder.toLowerCase())) chosen.push(folder);
        renderChosen();
    }

    function placeButton(label, path) {
        const button = document.createElement('button');
        button.type = 'button';
        button.className = 'button place';
        button.title = path;
        button.append(Icons.svg('folder', 16), label);
        button.addEventListener('click', () => add(path));
        return button;
    }

    function renderPlaces() {
        const places = element('places');
        places.textContent = '';
        const desktop = native('getDesktopPath', [], '');
        if (desktop) places.appendChild(placeButton(S('pick.desktop'), desktop));
        for (const [key, path] of kPlaces) places.appendChild(placeButton(S(key), path));
        const drives = element('drives');
        drives.textContent = '';
        drives.appendChild(placeButton('C:', 'C:\\'));
        let list = [];
        try {
            list = JSON.parse(native('getLogicalDrives', [], '{"list":[]}')).list || [];
        } catch (error) {
            list = [];
        }
        for (const drive of list) drives.appendChild(placeButton(drive.drive, drive.drive + '\\'));
        const picks = recent();
        element('recent-block').hidden = picks.length === 0;
        const holder = element('recent');
        holder.textContent = '';
        for (const path of picks) holder.appendChild(placeButton(Format.middle(path, 40), path));
    }

    function renderChosen() {
        const list = element('chosen');
        list.textContent = '';
        if (chosen.length === 0) {
            const empty = document.createElement('li');
            empty.className = 'muted';
            empty.textContent = S('pick.none');
            list.appendChild(empty);
        }
        chosen.forEach((path, index) => {
            const row = document.createElement('li');
            const text = Object.assign(document.createElement('span'), {className: 'row-path', textContent: path, title: path});
            const remove = document.createElement('button');
            remove.type = 'button';
            remove.className = 'icon-button';
            remove.title = S('pick.remove') + ': ' + path;
            remove.setAttribute('aria-label', remove.title);
            remove.appendChild(Icons.svg('close', 16));
            remove.addEventListener('click', () => {
                chosen.splice(index, 1);
                renderChosen();
            });
            row.append(Icons.svg('folder', 16), text, remove);
            list.appendChild(row);
        });
        element('use').disabled = chosen.length === 0;
    }

    function answer(message) {
        if (channel) channel.postMessage(message);
        log.info(message.type + (message.folders ? ': ' + message.folders.length + ' folders' : ''));
        Pellanor.callNative('HostWindow', 'close', [], undefined);
    }

    const cancel = () => answer({type: 'cancelled'});

    function use() {
        if (chosen.length === 0) return;
        const merged = chosen.concat(recent().filter((p) => !chosen.includes(p))).slice(0, kRecentLimit);
        native('setSetting', [kRecent, JSON.stringify(merged)], false);
        answer({type: 'picked', folders: chosen.slice()});
    }

    function wire() {
        element('add').addEventListener('click', () => {
            add(element('path').value);
            element('path').value = '';
        });
        element('path').addEventListener('keydown', (event) => {
            if (event.key !== 'Enter') return;
            add(element('path').value);
            element('path').value = '';
        });
        element('browse').addEventListener('click', () => {
            const picked = native('selectFolder', [S('pick.title'), ''], '');
            if (typeof picked === 'string' && picked !== '') add(picked);
        });
        element('browse').disabled = !Pellanor.hasMethod('NativeUtil', 'selectFolder');
        element('use').addEventListener('click', use);
        element('cancel').addEventListener('click', cancel);
    }

    function paint() {
        element('path').placeholder = S('pick.pathHint');
        renderPlaces();
        renderChosen();
    }

    Pellanor.onReady(async () => {
        wire();
        await PageChrome.start({width: kWidth, height: kHeight, close: cancel, onLanguage: paint});
        element('path').focus();
    });
})();
