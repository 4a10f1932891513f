// The automatic update check: once per start, after Home is on screen and the splash has gone,
// at most once a day, only with a default route, and never when the user switched it off.
// checkUpdate blocks the page while it asks the service, so About shows a quiet "Checking…"
// first and the call comes two frames later; it never runs on a timer. An offered version puts
// a badge on About and a banner on Home; a failure is only logged: nobody asked for this check.
(function () {
    'use strict';

    const kSetting = 'autoCheckUpdate';
    const kLastCheck = 'lastUpdateCheck';
    const kDayMs = 24 * 60 * 60 * 1000;
    const kUpdaterPage = 'this://app/upgrader/upgrader.html';

    const S = (key, ...args) => MainStrings.t(key, ...args);
    const log = Logger.create('UpdateCheck');
    const listeners = [];
    // phase: idle | checking | current | available; outcome: why the last run ended as it did.
    let state = {phase: 'idle', version: '', outcome: '', dismissed: false};

    function set(changes) {
        state = Object.assign({}, state, changes);
        paintBadge();
        for (const listener of listeners.slice()) {
            try {
                listener(state);
            } catch (error) {
                log.error('update listener failed:', error);
            }
        }
    }

    // The stored time of the last check; 0 when there is none or it cannot be a past time,
    // so a clock turned back, or a mangled value, costs one check instead of stopping them.
    function lastCheck(now) {
        const stored = Number(Native.call('getSetting', kLastCheck, ''));
        return Number.isFinite(stored) && stored > 0 && stored <= now ? stored : 0;
    }

    // Whether an automatic check may ask the service now; the reason when it may not.
    function refusal(now) {
        if (Native.call('getSetting', kSetting, '1') !== '1') return 'off';
        if (!Native.has('checkUpdate')) return 'unsupported';
        const last = lastCheck(now);
        if (last > 0 && now - last < kDayMs) return 'recent';
        if (Native.call('isInternetAvailable') !== true) return 'offline';
        return '';
    }

    async function run() {
        if (state.phase === 'checking') return state.outcome;
        const now = Date.now();
        const refused = refusal(now);
        if (refused) {
            log.info('automatic update check skipped: ' + refused);
            set({outcome: refused});
            return refused;
        }
        set({phase: 'checking', outcome: ''});
        await App.nextFrames(2);
        // Kept before asking: a check that hangs or fails still counts, so a broken service is
        // not asked again at every start.
        Native.call('setSetting', kLastCheck, String(now));
        const answer = Native.json('checkUpdate');
        const failure = Versions.errorKey(answer) || (Versions.offered(answer) ? '' : 'error.generic');
        if (failure) {
            log.warn('automatic update check failed: ' + JSON.stringify(answer));
            set({phase: 'idle', outcome: 'failed'});
            return 'failed';
        }
        note(answer);
        return state.outcome;
    }

    // A successful latest-version answer, from this check or the one in About.
    function note(answer) {
        const version = Versions.offered(answer);
        if (!version || Versions.errorKey(answer)) return;
        const available = Versions.newer(version, Pellanor.productVersion());
        log.info('update check: ' + (available ? version + ' offered' : 'up to date'));
        set({phase: available ? 'available' : 'current', version: available ? version : '',
             outcome: available ? 'available' : 'current',
             dismissed: available && state.version === version ? state.dismissed : false});
    }

    function paintBadge() {
        const item = document.getElementById('nav-about');
        if (!item) return;
        let badge = item.querySelector('.nav-badge');
        if (state.phase !== 'available') {
            if (badge) badge.remove();
            return;
        }
        if (!badge) {
            badge = App.el('span', {className: 'nav-badge'}, [
                App.el('span', {className: 'visually-hidden', i18n: 'about.updateBadge'}),
            ]);
            item.appendChild(badge);
        }
        badge.title = S('about.updateBadge');
    }

    // The updater page, or About when that window cannot be made.
    async function openUpdater() {
        const path = Native.read('updateWindowPath', '') || kUpdaterPage;
        const opened = await PageWindows.open(path, 'upgrader');
        if (!opened) {
            log.warn('no updater window; About instead');
            App.show('about');
        }
        return opened;
    }

    // Home's calm banner, or null when there is nothing to say.
    function banner() {
        if (state.phase !== 'available' || state.dismissed) return null;
        const open = App.button('home.updateOpen', 'primary', () => openUpdater());
        open.id = 'home-update-open';
        const hide = App.el('button', {className: 'icon-button', title: S('home.updateHide'),
                                       attrs: {type: 'button', id: 'home-update-hide', 'aria-label': S('home.updateHide')}},
                            [Icons.svg('close', 16)]);
        hide.addEventListener('click', () => set({dismissed: true}));
        return App.el('div', {className: 'banner', attrs: {id: 'home-update', role: 'status'}}, [
            Icons.svg('update', 20),
            App.el('span', {className: 'banner-text', text: S('home.updateAvailable', state.version)}),
            open,
            hide,
        ]);
    }

    function subscribe(listener) {
        listeners.push(listener);
    }

    // The main page says when Home is painted and the ready signal is out.
    document.addEventListener('pellanor-main-ready', () => {
        run().catch((error) => log.error('automatic update check failed:', error));
    }, {once: true});

    window.UpdateCheck = Object.freeze({
        run,
        note,
        banner,
        openUpdater,
        subscribe,
        state: () => state,
        settingKey: kSetting,
    });
})();
