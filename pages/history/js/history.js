// The version history: every published version, newest first, with its date and notes as the
// service gives them, and the running one marked. getVersionList blocks the page while it asks
// the service, so the loading state is on screen before the call; without a network the page
// says so at once instead of blocking. One window only: opening it again brings this one forward.
(function () {
    'use strict';

    const kWidth = 560;
    const kHeight = 600;
    const kPage = 'history';

    const S = (key, ...args) => MainStrings.t(key, ...args);
    const log = Logger.create('HistoryPage');
    const element = (id) => document.getElementById(id);
    let state = {phase: 'loading'};
    let loading = false;

    function native(method, args, fallback) {
        return Pellanor.callNative('NativeUtil', method, args || [], fallback);
    }

    function node(tag, className, text) {
        const created = document.createElement(tag);
        if (className) created.className = className;
        if (text !== undefined) created.textContent = text;
        return created;
    }

    function running() {
        return Pellanor.productVersion();
    }

    function paintLoading(body) {
        const bar = node('div', 'bar indeterminate');
        bar.setAttribute('role', 'progressbar');
        bar.setAttribute('aria-valuetext', S('history.loading'));
        bar.style.width = '240px';
        bar.appendChild(node('div', 'bar-fill'));
        const box = node('div', 'empty');
        box.setAttribute('aria-busy', 'true');
        box.append(node('div', 'busy-label', S('history.loading')), bar, node('div', 'muted', S('history.loadingNote')));
        body.appendChild(box);
    }

    function paintFailed(body) {
        const banner = node('div', 'banner warning');
        banner.setAttribute('role', 'alert');
        const text = node('div', 'banner-text');
        text.append(node('strong', '', S('history.failed')), node('span', '', S(state.key)));
        const retry = node('button', 'button primary', S('common.retry'));
        retry.type = 'button';
        retry.id = 'retry';
        retry.addEventListener('click', () => load());
        banner.append(Icons.svg('warning', 20), text, retry);
        body.appendChild(banner);
    }

    function versionItem(entry) {
        const current = Versions.same(entry.version, running());
        const item = node('li', 'version' + (current ? ' current' : ''));
        item.dataset.version = entry.version;
        if (current) item.setAttribute('aria-current', 'true');
        const head = node('div', 'version-head');
        head.appendChild(node('h2', 'version-name', S('history.version', entry.version)));
        if (current) head.appendChild(node('span', 'tag installed', S('history.installed')));
        else if (Versions.newer(entry.version, running())) head.appendChild(node('span', 'tag info', S('history.newer')));
        if (entry.date) {
            // A date the service writes in its own words is shown as it comes.
            head.appendChild(node('span', 'version-date', Format.date(entry.date) || entry.date));
        }
        item.appendChild(head);
        if (entry.notes.length > 0) {
            const notes = node('ul', 'version-notes');
            for (const line of entry.notes) notes.appendChild(node('li', '', line));
            item.appendChild(notes);
        }
        return item;
    }

    function paintList(body) {
        if (state.list.length === 0) {
            const box = node('div', 'empty');
            box.append(Icons.svg('about', 48), node('p', '', S('history.empty')));
            body.appendChild(box);
            return;
        }
        const list = node('ul', 'versions');
        list.setAttribute('role', 'list');
        for (const entry of state.list) list.appendChild(versionItem(entry));
        body.appendChild(list);
    }

    function render() {
        element('running').textContent = S('history.running', running());
        const body = element('body');
        body.setAttribute('aria-label', S('history.list'));
        body.setAttribute('aria-busy', String(state.phase === 'loading'));
        const hadFocus = body.contains(document.activeElement) && document.activeElement !== body;
        body.textContent = '';
        if (state.phase === 'loading') paintLoading(body);
        else if (state.phase === 'failed') paintFailed(body);
        else paintList(body);
        // A keyboard user who pressed Retry lands on what replaced it, not on the page's start.
        if (hadFocus || state.phase === 'failed') (element('retry') || body).focus();
    }

    function read() {
        if (!Pellanor.hasMethod('NativeUtil', 'getVersionList')) return {phase: 'failed', key: 'history.unavailable'};
        // No default route: no request can succeed, and the call would block for nothing.
        if (native('isInternetAvailable', [], true) === false) return {phase: 'failed', key: 'error.network'};
        const text = native('getVersionList', [], '');
        let answer = null;
        try {
            answer = typeof text === 'string' && text !== '' ? JSON.parse(text) : null;
        } catch (error) {
            answer = null;
        }
        const key = Versions.errorKey(answer);
        if (key) {
            log.warn('version list failed: ' + (typeof text === 'string' ? text.slice(0, 200) : typeof text));
            return {phase: 'failed', key};
        }
        const list = Versions.list(answer);
        if (!list) {
            log.warn('version list answer holds no list');
            return {phase: 'failed', key: 'error.generic'};
        }
        return {phase: 'list', list};
    }

    async function load() {
        if (loading) return;
        loading = true;
        state = {phase: 'loading'};
        render();
        await PageChrome.frames(2);
        try {
            state = read();
        } catch (error) {
            log.error('version list failed:', error);
            state = {phase: 'failed', key: 'error.generic'};
        }
        loading = false;
        log.info(state.phase === 'list' ? state.list.length + ' versions' : 'not loaded: ' + state.key);
        render();
    }

    function wire() {
        // F5 asks again, as in the main window.
        document.addEventListener('keydown', (event) => {
            if (event.key === 'F5' && !loading) {
                event.preventDefault();
                load();
            }
        });
    }

    const kFixture = [
        {version: '1.4.0', date: '2026-06-02', notes: ['Faster duplicate scans', 'Large files can be moved']},
        {version: '1.3.6', date: '2026-03-18', notes: ['Start-up items can be restored']},
        {version: '1.3.0', date: '2025-12-01', notes: ['Chat apps: QQ']},
    ];

    // Tests and screenshots: the page in a given state without asking the service.
    window.PellanorUI = Object.freeze({
        show(section, phase) {
            if (phase === 'loading') state = {phase: 'loading'};
            else if (phase === 'error') state = {phase: 'failed', key: 'error.network'};
            else state = {phase: 'list', list: phase === 'empty' ? [] : kFixture.slice()};
            render();
            return state.phase;
        },
        sections: () => [kPage],
    });
    window.HistoryPage = Object.freeze({state: () => state, busy: () => loading, reload: () => load()});

    Pellanor.onReady(async () => {
        wire();
        await PageChrome.start({width: kWidth, height: kHeight, titleKey: 'history.windowTitle',
                                onLanguage: render, single: {page: kPage}});
        element('body').focus();
        load();
    });
})();
