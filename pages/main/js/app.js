// The main page's frame: the section registry and navigation, the window chrome, and the
// start-up order the program's shell relies on (tray, title, Home painted, then the ready
// signal that lets the splash step aside).
(function () {
    'use strict';

    const kWidth = 960;
    const kHeight = 640;
    const kMinNav = 208;
    const kMaxNav = 280;
    const kShellChannel = 'pellanor-shell';
    const kLastSection = 'main_section';
    const kLanguageSetting = 'app_language';
    const kSeparatorBefore = 90;

    const log = Logger.create('MainPage');
    const S = (key, ...args) => MainStrings.t(key, ...args);
    const registered = [];
    const built = new Map();
    let currentId = '';
    let navList = null;
    let hotkeys = {};
    const channel = typeof BroadcastChannel === 'function' ? new BroadcastChannel(kShellChannel) : null;

    function element(id) {
        return document.getElementById(id);
    }

    // A small DOM builder: el('div', {className, text, i18n, attrs, on}, children).
    function el(tag, options, children) {
        const node = document.createElement(tag);
        const o = options || {};
        if (o.className) node.className = o.className;
        if (o.i18n) {
            node.setAttribute('data-i18n', o.i18n);
            node.textContent = S(o.i18n);
        }
        if (o.text !== undefined) node.textContent = o.text;
        if (o.title) node.title = o.title;
        for (const [name, value] of Object.entries(o.attrs || {})) {
            if (value !== undefined && value !== null && value !== false) node.setAttribute(name, value);
        }
        for (const [name, handler] of Object.entries(o.on || {})) node.addEventListener(name, handler);
        for (const child of children || []) {
            if (child) node.appendChild(typeof child === 'string' ? document.createTextNode(child) : child);
        }
        return node;
    }

    function button(i18n, kind, onClick, options) {
        const node = el('button', Object.assign({className: 'button ' + (kind || ''), i18n,
                                                 attrs: {type: 'button'}}, options || {}));
        if (onClick) node.addEventListener('click', onClick);
        return node;
    }

    // The common frame of a section: header with title and description, a body and the sticky
    // action bar. Sections fill `tools`, `body` and `bar` as they need.
    function sectionFrame(container, titleKey, descKey) {
        const tools = el('div', {className: 'section-tools'});
        const header = el('header', {className: 'section-header'}, [
            el('div', {className: 'section-heading'}, [
                el('h1', {className: 'section-title', i18n: titleKey}),
                descKey ? el('p', {className: 'section-desc', i18n: descKey}) : null,
            ]),
            tools,
        ]);
        const body = el('div', {className: 'section-body'});
        const barText = el('div', {className: 'action-bar-text', attrs: {'aria-live': 'off'}});
        const barActions = el('div', {className: 'section-tools'});
        const bar = el('footer', {className: 'action-bar'}, [barText, barActions]);
        container.append(header, body, bar);
        return {header, tools, body, bar, barText, barActions};
    }

    function registerSection(definition) {
        if (!definition || typeof definition.id !== 'string') return;
        if (registered.some((s) => s.id === definition.id)) return;
        registered.push(definition);
        registered.sort((a, b) => (a.order || 0) - (b.order || 0));
        if (navList) renderNav();
    }

    function sections() {
        return registered.slice();
    }

    function instance(id) {
        const definition = registered.find((s) => s.id === id);
        if (!definition) return null;
        if (!built.has(id)) {
            const container = el('section', {className: 'section', attrs: {id: 'section-' + id,
                                 'aria-labelledby': 'nav-' + id, hidden: ''}});
            element('content').appendChild(container);
            let api = {};
            try {
                api = definition.create(container) || {};
            } catch (error) {
                log.error('section ' + id + ' failed to build:', error);
            }
            built.set(id, {container, api});
        }
        return built.get(id);
    }

    function callSection(entry, method, ...args) {
        if (!entry || typeof entry.api[method] !== 'function') return undefined;
        try {
            return entry.api[method](...args);
        } catch (error) {
            log.error('section ' + method + ' failed:', error);
            return undefined;
        }
    }

    function show(id, options) {
        const target = registered.some((s) => s.id === id) ? id : 'home';
        if (target === currentId) return instance(target);
        const previous = built.get(currentId);
        if (previous) {
            previous.container.hidden = true;
            callSection(previous, 'hide');
        }
        currentId = target;
        const entry = instance(target);
        entry.container.hidden = false;
        for (const item of navList ? navList.querySelectorAll('.nav-item') : []) {
            const selected = item.dataset.section === target;
            if (selected) item.setAttribute('aria-current', 'page');
            else item.removeAttribute('aria-current');
            item.tabIndex = selected ? 0 : -1;
        }
        callSection(entry, 'show', options || {});
        if (!options || options.remember !== false) Native.call('setSetting', kLastSection, target);
        return entry;
    }

    function navItem(definition) {
        const item = el('button', {className: 'nav-item', attrs: {type: 'button', id: 'nav-' + definition.id,
                        'data-section': definition.id, tabindex: '-1'}}, [
            Icons.svg(definition.icon || definition.id, 20),
            el('span', {className: 'nav-label', i18n: definition.navKey}),
        ]);
        item.addEventListener('click', () => show(definition.id));
        return item;
    }

    function renderNav() {
        navList.textContent = '';
        for (const definition of registered) {
            if (definition.order >= kSeparatorBefore &&
                !navList.querySelector('.nav-separator')) {
                navList.appendChild(el('li', {className: 'nav-separator', attrs: {role: 'separator'}}));
            }
            navList.appendChild(el('li', {}, [navItem(definition)]));
        }
        const current = navList.querySelector('[data-section="' + currentId + '"]');
        if (current) {
            current.setAttribute('aria-current', 'page');
            current.tabIndex = 0;
        } else if (navList.querySelector('.nav-item')) {
            navList.querySelector('.nav-item').tabIndex = 0;
        }
    }

    // Roving focus: one Tab stop for the whole list, arrows move within it.
    function wireNavKeys() {
        navList.addEventListener('keydown', (event) => {
            const items = Array.from(navList.querySelectorAll('.nav-item'));
            const index = items.indexOf(document.activeElement);
            if (index < 0) return;
            const moves = {ArrowDown: index + 1, ArrowUp: index - 1, Home: 0, End: items.length - 1};
            if (!(event.key in moves)) return;
            event.preventDefault();
            const next = items[(moves[event.key] + items.length) % items.length];
            items.forEach((item) => (item.tabIndex = item === next ? 0 : -1));
            next.focus();
        });
    }

    // The navigation is as wide as its longest label in any of the twelve languages, so
    // switching languages never reflows the window. Read once, before anything else is drawn.
    function fitNavigation() {
        const probe = el('div', {className: 'lang-probe', attrs: {'aria-hidden': 'true'}});
        document.body.appendChild(probe);
        const codes = window.Locale ? Locale.supported : ['en-us'];
        for (const code of codes) {
            for (const definition of registered) {
                const table = MainStrings.tables()[code] || {};
                probe.appendChild(el('span', {text: table[definition.navKey] || definition.navKey,
                                              attrs: {lang: code.split('-')[0]}}));
                probe.appendChild(el('br'));
            }
        }
        const widest = probe.scrollWidth;
        probe.remove();
        // icon 20 + gap 12 + side paddings 32 + marker and breathing room
        const width = Math.min(kMaxNav, Math.max(kMinNav, Math.ceil(widest) + 20 + 12 + 32 + 8));
        document.documentElement.style.setProperty('--nav-width', width + 'px');
    }

    // ---- window ----

    function fitWindow() {
        const area = Native.window('workArea');
        if (!area || !(area.width > 0) || !(area.height > 0)) return;
        const width = Math.min(kWidth, area.width);
        const height = Math.min(kHeight, area.height);
        Native.window('move', area.x + Math.round((area.width - width) / 2),
                      area.y + Math.round((area.height - height) / 2), width, height);
    }

    function showWindow() {
        Native.window('restore');
        Native.window('show');
    }

    function setTitle() {
        const title = S('app.name');
        document.title = title;
        Pellanor.callNative('PageWindow', 'setTitle', [title], undefined);
    }

    // Close hides to the tray; the first time, the page says so and offers a real exit.
    async function closeWindow() {
        const toTray = Native.call('getSetting', 'minimizeOnClose', '1') === '1';
        if (toTray && Native.call('getSetting', 'closeHintSeen', '0') !== '1') {
            const answer = await Confirm.dialog({
                title: S('close.title'),
                message: S('close.message'),
                checkbox: S('close.dontShow'),
                buttons: [{id: 'exit', label: S('close.exit')},
                          {id: 'ok', label: S('common.ok'), kind: 'primary', focus: true}],
            });
            if (answer.checked) Native.call('setSetting', 'closeHintSeen', '1');
            if (answer.id === 'exit') return exitApp();
            if (answer.id !== 'ok') return undefined;
        }
        Native.window('close');
        return undefined;
    }

    async function exitApp() {
        const busy = registered.map((s) => callSection(built.get(s.id), 'busyText')).find(Boolean);
        if (busy) {
            showWindow();
            const stop = await Confirm.ask({title: busy, items: [], note: '',
                                           dangerLabel: S('close.stopAndExit'), kind: 'primary'});
            if (!stop) return;
        }
        log.info('exit chosen');
        Native.call('exitApp');
    }

    function wireWindow() {
        element('close').addEventListener('click', closeWindow);
        element('minimize').addEventListener('click', () => Native.window('minimize'));
        element('titlebar').addEventListener('mousedown', (event) => {
            if (event.button !== 0 || event.target.closest('button')) return;
            Native.window('startMove');
        });
    }

    // ---- commands from the tray ----

    function runCommand(command) {
        const name = typeof command === 'string' ? command : command && command.command;
        if (!name || name === 'language') return;
        log.info('command ' + name);
        if (name === 'hotkeys') {
            loadHotkeys();
            return;
        }
        if (name === 'exit') {
            exitApp();
            return;
        }
        showWindow();
        const sections = {clean: 'junk', large: 'large', settings: 'settings', update: 'about'};
        if (name in sections) {
            const entry = show(sections[name]);
            if (name === 'clean') callSection(entry, 'startScan');
            if (name === 'update') callSection(entry, 'checkUpdate');
        }
    }

    // The tray's commands (and the hot-key page's word that the shortcuts changed) come over a
    // BroadcastChannel when the pages share an origin; the shared value is the fallback, read
    // while the window may be hidden or another page has the focus.
    function listenForCommands() {
        if (channel) channel.onmessage = (event) => runCommand(event.data);
        setInterval(() => {
            if (document.visibilityState === 'visible' && document.hasFocus()) return;
            const value = Native.call('getSharedMemoryValue', 'trayCommand');
            if (typeof value === 'string' && value !== '') {
                Native.call('setSharedMemoryValue', 'trayCommand', '');
                runCommand(value);
            }
        }, 1000);
    }

    // The tray page owns the icon and is the icon's menu; it stays hidden until asked for.
    function openTray() {
        const handle = Pellanor.callNative('WindowUtil', 'createWindow', ['this://app/main/tray.html', 0, false], 0);
        if (!handle) {
            log.warn('no tray window');
            return;
        }
        const shown = Native.call('setTrayIcon');
        log.info('tray window ' + handle + ', tray icon ' + (shown ? 'shown' : 'not shown'));
    }

    // ---- language ----

    function applyLanguage(code) {
        MainStrings.setLanguage(code);
        MainStrings.translate(document);
        setTitle();
        for (const entry of built.values()) callSection(entry, 'onLanguageChanged');
        // Panels and summaries that outlive their section's render re-read their texts.
        document.dispatchEvent(new CustomEvent('pellanor-language', {detail: {code}}));
    }

    // LANG= on the command line wins (it is how a language is tried out), then the user's
    // choice, then the system's language.
    async function initLanguage() {
        const detected = Locale.detect();
        const stored = Native.call('getSetting', kLanguageSetting, '');
        const forced = detected.source !== 'command line' && typeof stored === 'string' &&
                       Locale.normalize(stored) !== '' ? stored : undefined;
        const result = await Locale.init(forced);
        applyLanguage(result.code);
        return result;
    }

    async function setLanguage(code) {
        const result = await Locale.init(code);
        applyLanguage(result.code);
        Native.call('setSetting', kLanguageSetting, result.code);
        // Open pages follow at once; without a channel they look again when they get the focus.
        if (channel) channel.postMessage({command: 'language'});
        log.info('language changed to ' + result.code);
        return result.code;
    }

    // The shortcuts are the user's (the hot-key page keeps them in the settings); a section
    // answers the ones it has hooks for.
    function loadHotkeys() {
        hotkeys = Hotkeys.load();
    }

    // The controls Tab stops at, in document order: enabled, shown, not taken out of the round.
    function tabStops() {
        return Array.from(document.querySelectorAll('a[href], button, input, select, textarea, [tabindex]'))
            .filter((e) => e.tabIndex >= 0 && !e.disabled && e.type !== 'hidden' && e.getClientRects().length > 0 &&
                           getComputedStyle(e).visibility === 'visible');
    }

    // The window is this page and nothing else: past the last control the engine would hand the
    // focus to the window itself, a stop with no ring and nothing to do. The round starts
    // again at the title bar instead (and Shift+Tab from the title bar goes to the last control).
    function wrapTab(event) {
        if (event.key !== 'Tab' || event.altKey || event.ctrlKey || event.metaKey) return;
        const stops = tabStops();
        if (stops.length === 0) return;
        const active = document.activeElement;
        const first = stops[0];
        const last = stops[stops.length - 1];
        const target = event.shiftKey ? (active === first || active === document.body ? last : null) :
            active === last ? first : null;
        if (!target) return;
        event.preventDefault();
        target.focus();
    }

    function keyboard() {
        document.addEventListener('keydown', (event) => {
            if (document.querySelector('.dialog-backdrop')) return;
            wrapTab(event);
            const action = Hotkeys.actionFor(event, hotkeys);
            if (action === '') return;
            const entry = built.get(currentId);
            if (action === 'stop') callSection(entry, 'onEscape', event);
            if (action === 'rescan') {
                event.preventDefault();
                callSection(entry, 'onRefresh', event);
            }
            if (action === 'delete') callSection(entry, 'onDelete', event);
            if (action.startsWith('go.')) {
                event.preventDefault();
                show(action.slice(3));
                const item = element('nav-' + currentId);
                if (item) item.focus();
            }
        });
    }

    // Usage events only with the user's consent, and only counts, sizes, durations and
    // outcomes: never a path or a name. Whatever else a section hands over is dropped here, so
    // one careless field cannot carry a user's folder out of the machine.
    const kEventType = /^[a-z]+(_[a-z]+)*$/;
    const kEventField = /^[a-z]+(_[a-z]+)*$/;
    // The only texts an event may carry: outcomes and the names of our own tools.
    const kEventWords = new Set(['done', 'stopped', 'failed', 'none', 'started', 'restart',
                                 'remove_folder', 'previous_windows', 'move_pagefile',
                                 'hibernation_off', 'desktop_shortcut']);

    function eventValue(value) {
        if (typeof value === 'boolean') return value;
        if (typeof value === 'number' && Number.isFinite(value)) return Math.round(value);
        if (typeof value === 'string' && kEventWords.has(value)) return value;
        return undefined;
    }

    function eventBody(name, fields) {
        const body = {};
        const dropped = [];
        for (const [key, value] of Object.entries(fields || {})) {
            // The program logs and the service files an event under "event_type"; a field of
            // the same name must not relabel it.
            const kept = key === 'event_type' || !kEventField.test(key) ? undefined : eventValue(value);
            if (kept === undefined) dropped.push(key);
            else body[key] = kept;
        }
        if (dropped.length) log.warn('usage event ' + name + ': dropped ' + dropped.join(', '));
        body.event_type = name;
        return body;
    }

    function report(name, fields) {
        if (typeof name !== 'string' || !kEventType.test(name)) {
            log.warn('usage event with an unusable name, not sent');
            return false;
        }
        if (Native.call('getSetting', 'usageData', '0') !== '1') return false;
        Native.call('reportEvent', JSON.stringify(eventBody(name, fields)));
        return true;
    }

    function nextFrames(count) {
        return new Promise((resolve) => {
            let left = count || 2;
            const step = () => (--left <= 0 ? resolve() : requestAnimationFrame(step));
            requestAnimationFrame(step);
        });
    }

    async function start() {
        const begun = performance.now();
        const marks = [];
        const mark = (name) => marks.push(name + ' ' + Math.round(performance.now() - begun));
        Native.call('setMinimizeOnClose', Native.call('getSetting', 'minimizeOnClose', '1') === '1');
        fitWindow();
        wireWindow();
        navList = element('nav-list');
        const language = await initLanguage();
        mark('language');
        fitNavigation();
        mark('navigation');
        renderNav();
        wireNavKeys();
        loadHotkeys();
        keyboard();
        setTitle();
        show('home', {remember: false});
        mark('home');
        const last = Native.call('getSetting', kLastSection, 'home');
        if (Pellanor.readNative('PageWindow', 'showOnLoaded', false) === true) showWindow();
        listenForCommands();
        // One frame: Home's layout is committed with it, and the splash only needs to know that.
        await nextFrames(1);
        mark('painted');
        // The tray page is a second page to load: it would share the first frame's time, and
        // it is still there before the ready signal that other copies of the program wait for.
        openTray();
        mark('tray');
        const ready = Native.call('signalMainWindowReady') === true;
        log.info('main page ready in ' + Math.round(performance.now() - begun) + ' ms (' + marks.join(', ') +
                 '), language ' + language.code + (ready ? '' : ' (not signalled)'));
        // Home is on screen; a remembered section opens after the signal so the first paint stays cheap.
        if (typeof last === 'string' && last !== 'home') show(last, {remember: false});
        // Work that must wait until the window is up (the automatic update check) starts here.
        document.dispatchEvent(new CustomEvent('pellanor-main-ready'));
    }

    window.App = Object.freeze({
        registerSection,
        sections,
        show,
        current: () => currentId,
        hotkeys: () => Object.assign({}, hotkeys),
        section: (id) => (built.get(id) || {}).api,
        setLanguage,
        exitApp,
        el,
        button,
        sectionFrame,
        nextFrames,
        report,
    });

    // The screenshot and test hook: opens a section and lets it load fixture state.
    window.PellanorUI = Object.freeze({
        show(id, state) {
            const entry = show(id, {remember: false});
            return callSection(entry, 'fixture', state);
        },
        sections: () => registered.map((s) => s.id),
    });

    Pellanor.onReady(() => {
        start().catch((error) => log.error('main page failed to start:', error));
    });
})();
