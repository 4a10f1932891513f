// The hot-key page: the main window's shortcuts, each changed by pressing the new key. Every
// accepted change is saved at once, like the main page's settings, and the main page is told
// over the "pellanor-shell" channel (or the shared value the tray uses) so it reads them again.
(function () {
    'use strict';

    const kWidth = 600;
    const kHeight = 620;

    const S = (key, ...args) => MainStrings.t(key, ...args);
    const log = Logger.create('HotkeyPage');
    const element = (id) => document.getElementById(id);
    const make = (tag, properties) => Object.assign(document.createElement(tag), properties);
    const actions = Hotkeys.actions();
    let map = Hotkeys.defaults();
    let recording = '';

    function actionLabel(action) {
        return action.group === 'sections' ? S('hotkey.goTo', S(action.labelKey)) : S(action.labelKey);
    }

    function row(id) {
        return document.querySelector('.key-row[data-action="' + id + '"]');
    }

    function setNote(id, text, isError) {
        const note = row(id).querySelector('.key-note');
        note.textContent = text;
        note.classList.toggle('error', Boolean(isError));
    }

    function paintRow(action) {
        const node = row(action.id);
        const name = map[action.id];
        const cap = node.querySelector('.key-cap');
        const isRecording = recording === action.id;
        cap.textContent = isRecording ? '…' : Hotkeys.label(name, S);
        cap.classList.toggle('unset', !isRecording && name === '');
        node.classList.toggle('recording', isRecording);
        const change = node.querySelector('.change');
        const [idle, pressing] = change.children;
        idle.textContent = S('hotkey.change');
        pressing.textContent = S('hotkey.pressKey');
        idle.classList.toggle('off', isRecording);
        pressing.classList.toggle('off', !isRecording);
        change.setAttribute('aria-pressed', String(isRecording));
        change.setAttribute('aria-label', S(isRecording ? 'hotkey.pressKey' : 'hotkey.change') + ': ' + actionLabel(action));
        const clear = node.querySelector('.icon-button');
        clear.hidden = name === '' || isRecording;
        clear.title = S('hotkey.clear') + ': ' + actionLabel(action);
        clear.setAttribute('aria-label', clear.title);
    }

    function build() {
        for (const group of ['common', 'sections']) {
            const list = element('keys-' + group);
            list.textContent = '';
            for (const action of actions.filter((a) => a.group === group)) {
                const item = document.createElement('li');
                item.className = 'key-row';
                item.dataset.action = action.id;
                const name = make('span', {className: 'key-name', textContent: actionLabel(action)});
                const cap = make('kbd', {className: 'key-cap'});
                // Both labels are always there, one of them hidden, so the button keeps one
                // width: recording does not shift the keycap, and every row lines up.
                const change = make('button', {type: 'button', className: 'button change'});
                change.append(make('span', {}), make('span', {}));
                change.addEventListener('click', () => {
                    if (recording === action.id) stopRecording();
                    else startRecording(action.id);
                });
                change.addEventListener('blur', () => {
                    if (recording === action.id) stopRecording();
                });
                const clear = make('button', {type: 'button', className: 'icon-button'});
                clear.appendChild(Icons.svg('close', 16));
                clear.addEventListener('click', () => {
                    commit(action.id, '');
                    change.focus();
                });
                const note = make('p', {className: 'key-note'});
                note.setAttribute('aria-live', 'polite');
                item.append(name, cap, change, clear, note);
                list.appendChild(item);
                paintRow(action);
            }
        }
    }

    function startRecording(id) {
        if (recording) stopRecording();
        recording = id;
        setNote(id, S('hotkey.recording'), false);
        paintRow(actions.find((a) => a.id === id));
    }

    function stopRecording() {
        const id = recording;
        if (!id) return;
        recording = '';
        setNote(id, '', false);
        paintRow(actions.find((a) => a.id === id));
    }

    function store(statusKey) {
        const saved = Hotkeys.save(map);
        element('status').textContent = S(saved ? statusKey : 'hotkey.notSaved');
        element('status').classList.toggle('error', !saved);
        if (saved) PageChrome.tellMain('hotkeys');
        log.info('shortcuts ' + (saved ? 'saved: ' : 'not saved: ') + JSON.stringify(map));
    }

    function commit(id, name) {
        map[id] = name;
        stopRecording();
        paintRow(actions.find((a) => a.id === id));
        store('hotkey.saved');
    }

    function refusalText(result) {
        const key = Hotkeys.label(result.name, S);
        if (result.refused === 'taken') {
            return S('hotkey.taken', key, actionLabel(actions.find((a) => a.id === result.owner)));
        }
        if (result.refused === 'reserved') return S('hotkey.reserved', key);
        return S('hotkey.badKey');
    }

    // While a row records, every key is the answer, except Tab, which moves on and so cancels.
    function onRecordingKey(event) {
        if (!recording || event.key === 'Tab') return;
        event.preventDefault();
        event.stopPropagation();
        if (event.key === 'Escape') {
            stopRecording();
            return;
        }
        const result = Hotkeys.check(map, recording, event);
        if (result.pending) return;
        if (result.refused) {
            setNote(recording, refusalText(result), true);
            return;
        }
        commit(recording, result.name);
    }

    function wire() {
        document.addEventListener('keydown', onRecordingKey, true);
        element('reset').addEventListener('click', () => {
            stopRecording();
            map = Hotkeys.defaults();
            for (const action of actions) paintRow(action);
            store('hotkey.restored');
        });
        element('done').addEventListener('click', () => PageChrome.close());
    }

    // Built again in a new language, keeping the row that has the focus.
    function rebuild() {
        const focused = document.activeElement && document.activeElement.closest('.key-row');
        stopRecording();
        build();
        const again = focused && row(focused.dataset.action);
        if (again) again.querySelector('.change').focus({preventScroll: true});
    }

    Pellanor.onReady(async () => {
        element('scope').prepend(Icons.svg('about', 16));
        map = Hotkeys.load();
        wire();
        await PageChrome.start({width: kWidth, height: kHeight, titleKey: 'hotkey.title', onLanguage: rebuild,
                                single: {page: Hotkeys.pageName}});
        // The window may still have its first, smaller size: scrolling the first row into view
        // now would leave the list scrolled down once the window grows.
        document.querySelector('.key-row .change').focus({preventScroll: true});
    });
})();
