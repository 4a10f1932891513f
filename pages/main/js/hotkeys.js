// The main window's keyboard shortcuts: which actions have one, how a key combination is named
// and stored ("Ctrl+Shift+F6"), which combinations may be chosen, and which action a key press
// asks for. The main page and the hot-key page share it. The shortcuts act only while the main
// window has the keyboard: the program has no way to register a system-wide key.
(function () {
    'use strict';

    const kSetting = 'hotkeys';
    const kPagePath = 'this://app/app/hotkey.html';
    // The name the single open hot-key window answers to when it is opened again.
    const kPageName = 'hotkey';
    const kSections = ['home', 'junk', 'chat', 'large', 'dup', 'startup', 'programs', 'tools', 'settings', 'about'];
    // Actions in the order the hot-key page lists them; '' means no key until the user picks one.
    const kActions = [
        {id: 'rescan', key: 'F5', labelKey: 'hotkey.rescan', group: 'common'},
        {id: 'delete', key: 'Delete', labelKey: 'hotkey.delete', group: 'common'},
        {id: 'stop', key: 'Esc', labelKey: 'hotkey.stop', group: 'common'},
    ].concat(kSections.map((id) => ({id: 'go.' + id, key: '', labelKey: 'nav.' + id, group: 'sections'})));
    const kModifiers = ['Ctrl', 'Alt', 'Shift'];
    // Windows closes the window on Alt+F4 and text fields need the editing keys.
    const kReserved = new Set(['Alt+F4', 'Ctrl+A', 'Ctrl+C', 'Ctrl+V', 'Ctrl+X', 'Ctrl+Y', 'Ctrl+Z']);
    const kModifierCodes = new Set([16, 17, 18, 91, 92, 93, 224]);
    // Keycap captions that differ between keyboards; the others read the same everywhere.
    const kCaptions = {Ctrl: 'hotkey.cap.ctrl', Shift: 'hotkey.cap.shift', Delete: 'hotkey.cap.delete',
                       Insert: 'hotkey.cap.insert', Esc: 'hotkey.cap.esc'};

    let log = null;
    function logger() {
        if (!log) log = window.Logger ? Logger.create('Hotkeys') : {warn() {}, info() {}};
        return log;
    }

    // Key names and their codes. The function keys and Esc are the program's VirtualKey codes,
    // so a press matches what the program itself calls F5; the fallbacks are the same numbers
    // for pages opened outside the program.
    function keyCodes() {
        const codes = {Delete: 46, Insert: 45};
        for (let i = 1; i <= 12; ++i) {
            codes['F' + i] = Number(Pellanor.readNative('VirtualKey', 'F' + i, 111 + i));
        }
        codes.Esc = Number(Pellanor.readNative('VirtualKey', 'ESC', 27));
        for (let c = 65; c <= 90; ++c) codes[String.fromCharCode(c)] = c;
        for (let d = 0; d <= 9; ++d) codes[String(d)] = 48 + d;
        return codes;
    }

    let codes = null;
    function nameOfCode(code) {
        if (!codes) codes = keyCodes();
        return Object.keys(codes).find((name) => codes[name] === code) || '';
    }

    const isFunctionKey = (name) => /^F([1-9]|1[0-2])$/.test(name);
    const isCharacter = (name) => /^[A-Z0-9]$/.test(name);

    // {ctrl, alt, shift, key} from "Ctrl+F6", or null when the text names no usable combination.
    function parse(text) {
        if (typeof text !== 'string' || text === '') return null;
        const parts = text.split('+');
        const key = parts.pop();
        if (!codes) codes = keyCodes();
        if (!(key in codes)) return null;
        const combo = {ctrl: false, alt: false, shift: false, key};
        for (const part of parts) {
            const index = kModifiers.indexOf(part);
            if (index < 0) return null;
            const flag = part.toLowerCase();
            if (combo[flag]) return null;
            combo[flag] = true;
        }
        return combo;
    }

    function format(combo) {
        if (!combo) return '';
        return (combo.ctrl ? 'Ctrl+' : '') + (combo.alt ? 'Alt+' : '') + (combo.shift ? 'Shift+' : '') + combo.key;
    }

    // The canonical name of a combination text ('' for none), or null when it is not allowed.
    function normalize(text) {
        if (text === '') return '';
        const combo = parse(text);
        if (!combo || refusal(combo)) return null;
        return format(combo);
    }

    // Why a combination cannot be a shortcut ('key' or 'reserved'), or '' when it can.
    // Letters and digits alone would fire while the user types. Windows reports AltGr as
    // Ctrl+Alt, so Ctrl+Alt with a letter or digit is how many keyboards type @, € or {:
    // as a shortcut it would fire in the middle of an address in the feedback form.
    function refusal(combo) {
        if (isCharacter(combo.key) && !combo.ctrl && !combo.alt) return 'key';
        if (isCharacter(combo.key) && combo.ctrl && combo.alt) return 'reserved';
        if (kReserved.has(format(combo))) return 'reserved';
        return '';
    }

    // The combination of a keydown: {combo} for a nameable key, {modifierOnly} while the user
    // is still holding modifiers, or {unknown} for a key no shortcut may use.
    function fromEvent(event) {
        if (kModifierCodes.has(event.keyCode)) return {modifierOnly: true};
        const key = nameOfCode(event.keyCode);
        if (!key || event.metaKey) return {unknown: true};
        return {combo: {ctrl: Boolean(event.ctrlKey), alt: Boolean(event.altKey), shift: Boolean(event.shiftKey), key}};
    }

    function defaults() {
        const map = {};
        for (const action of kActions) map[action.id] = action.key;
        return map;
    }

    // The shortcuts from the stored text: valid entries the user chose first, in list order, so
    // a duplicated key stays with the first action; defaults fill the rest where still free.
    function resolve(text) {
        let stored = {};
        if (typeof text === 'string' && text !== '') {
            try {
                const parsed = JSON.parse(text);
                if (parsed && typeof parsed === 'object' && !Array.isArray(parsed)) stored = parsed;
                else logger().warn('stored shortcuts are not an object; using the defaults');
            } catch (error) {
                logger().warn('stored shortcuts are not JSON; using the defaults');
            }
        }
        const map = {};
        const taken = new Set();
        for (const action of kActions) {
            if (!Object.prototype.hasOwnProperty.call(stored, action.id)) continue;
            const name = typeof stored[action.id] === 'string' ? normalize(stored[action.id]) : null;
            if (name === null) {
                logger().warn('stored shortcut of ' + action.id + ' is not usable: ' + String(stored[action.id]));
                continue;
            }
            if (name !== '' && taken.has(name)) {
                logger().warn('stored shortcut ' + name + ' is used twice; ' + action.id + ' loses it');
                map[action.id] = '';
                continue;
            }
            map[action.id] = name;
            if (name !== '') taken.add(name);
        }
        const ordered = {};
        for (const action of kActions) {
            if (!(action.id in map)) {
                map[action.id] = action.key !== '' && !taken.has(action.key) ? action.key : '';
                if (map[action.id] !== '') taken.add(map[action.id]);
            }
            ordered[action.id] = map[action.id];
        }
        return ordered;
    }

    // Whether `id` may take the key of `event`: {name} when it may, else {refused, name, owner}.
    function check(map, id, event) {
        const read = fromEvent(event);
        if (read.modifierOnly) return {pending: true};
        if (read.unknown) return {refused: 'key', name: ''};
        const name = format(read.combo);
        const why = refusal(read.combo);
        if (why) return {refused: why, name};
        const owner = Object.keys(map).find((other) => other !== id && map[other] === name);
        if (owner) return {refused: 'taken', name, owner};
        return {name};
    }

    // A ticked row's checkbox may hold the focus; it edits no text, so Delete still deletes.
    function editable(target) {
        return Boolean(target && target.closest && target.closest(
            'input:not([type=checkbox]):not([type=radio]), textarea, select, [contenteditable]'));
    }

    // The action a keydown asks for, or ''. Held keys repeat: one press is one action. Delete
    // and Insert without Ctrl or Alt belong to a text field that has the focus.
    function actionFor(event, map) {
        if (event.repeat) return '';
        const read = fromEvent(event);
        if (!read.combo) return '';
        const name = format(read.combo);
        const id = Object.keys(map).find((action) => map[action] === name) || '';
        if (id && !read.combo.ctrl && !read.combo.alt && !isFunctionKey(read.combo.key) &&
            read.combo.key !== 'Esc' && editable(event.target)) {
            return '';
        }
        return id;
    }

    // What the user reads for a combination, with this language's keycap captions.
    function label(name, translate) {
        if (!name) return translate('hotkey.none');
        return name.split('+').map((part) => (kCaptions[part] ? translate(kCaptions[part]) : part)).join('+');
    }

    function native(method, args, fallback) {
        return Pellanor.callNative('NativeUtil', method, args, fallback);
    }

    function load() {
        return resolve(native('getSetting', [kSetting, ''], ''));
    }

    function save(map) {
        const clean = {};
        for (const action of kActions) clean[action.id] = typeof map[action.id] === 'string' ? map[action.id] : '';
        return native('setSetting', [kSetting, JSON.stringify(clean)], false) === true;
    }

    // The page exists once: opened again, the open window comes forward. Resolves whether the
    // page is open. Only the main page opens it, and it always has PageWindows.
    async function openPage() {
        const path = Pellanor.readNative('NativeUtil', 'hotkeyWindowPath', kPagePath) || kPagePath;
        const opened = await PageWindows.open(path, kPageName);
        if (!opened) logger().warn('the hot-key page did not open');
        return opened;
    }

    window.Hotkeys = Object.freeze({
        actions: () => kActions.map((a) => Object.assign({}, a)),
        defaults,
        parse,
        format,
        normalize,
        resolve,
        check,
        actionFor,
        label,
        load,
        save,
        openPage,
        pageName: kPageName,
        setting: kSetting,
    });
})();
