// The splash: shows the product in the user's language while the program starts, then opens
// the main window and steps aside. Every native object is optional here, so the page also runs
// in a plain browser and in programs older or newer than it.
(function () {
    'use strict';

    // Closing a window created as the application's main window ends the whole program, and
    // the splash is created as one. So once the main page is up the splash hides instead of
    // closing, and the main page is opened as the main window in its place: its real close
    // (the user's exit) is then what ends the program.
    const kMainWindowFlag = 128;
    // The splash paints before the main page's load competes for the UI thread: the main page
    // opens on the splash's second frame, or after this long where no frame comes (hidden).
    const kOpenDelayMs = 300;
    // Without a readiness signal, a short grace period hides the main page's first paint.
    const kHideDelayMs = 800;
    // A poll is one cheap native call; a long period would keep the splash over a main page
    // that is already painted.
    const kReadyPollMs = 20;
    const kReadyTimeoutMs = 10000;
    // The program opens the first window at the engine's default size; the splash is smaller.
    const kSplashWidth = 480;
    const kSplashHeight = 300;

    const log = Logger.create('LoadingPage');
    const element = (id) => document.getElementById(id);

    function setStatus(key, failed) {
        const text = Locale.t(key);
        element('status').textContent = text;
        element('status').classList.toggle('failed', Boolean(failed));
        element('progress').classList.toggle('failed', Boolean(failed));
        log.info('status ' + key + ': ' + text);
    }

    function showVersion() {
        const version = Pellanor.productVersion();
        element('version').textContent = version === '' ? '' : Locale.t('app.version', version);
        return version;
    }

    function setWindowTitle() {
        const title = Locale.t('loading.title', Locale.t('app.name'));
        document.title = title;
        Pellanor.callNative('PageWindow', 'setTitle', [title], undefined);
    }

    function closeSplash() {
        log.info('closed by the user');
        if (Pellanor.hasMethod('HostWindow', 'close')) {
            Pellanor.callNative('HostWindow', 'close', [], undefined);
        } else {
            window.close();
        }
    }

    function hideSplash() {
        if (Pellanor.hasMethod('HostWindow', 'hide')) {
            Pellanor.callNative('HostWindow', 'hide', [], undefined);
            log.info('splash hidden');
        } else {
            log.warn('cannot hide the splash: no HostWindow.hide');
        }
    }

    // Sizes the window to the splash and centres it in the work area of its screen.
    function fitSplash() {
        const area = Pellanor.callNative('HostWindow', 'workArea', [], null);
        if (!area || !(area.width > 0) || !(area.height > 0)) return;
        const width = Math.min(kSplashWidth, area.width);
        const height = Math.min(kSplashHeight, area.height);
        const left = area.x + Math.round((area.width - width) / 2);
        const top = area.y + Math.round((area.height - height) / 2);
        Pellanor.callNative('HostWindow', 'move', [left, top, width, height], undefined);
    }

    function wireWindowControls() {
        element('close').addEventListener('click', closeSplash);
        element('splash').addEventListener('mousedown', (event) => {
            if (event.button !== 0 || event.target.closest('button')) return;
            Pellanor.callNative('HostWindow', 'startMove', [], false);
        });
        element('retry').addEventListener('click', () => {
            element('retry').hidden = true;
            openMainWindow();
        });
    }

    // The installer leaves the request to start at logon for the installed copy, because the
    // start-up entry always names the program that makes it. Only that copy, on its first
    // start, carries it out; the request is dropped either way once seen there.
    function applyPendingLogonStart() {
        const kPendingKey = 'install.startAtLogon';
        const pending = Pellanor.callNative('NativeUtil', 'getSetting', [kPendingKey, ''], '');
        if (typeof pending !== 'string' || pending === '') return;
        const norm = (path) => String(path).replace(/\\/g, '/').replace(/\/+$/, '').toLowerCase();
        const own = Pellanor.callNative('NativeUtil', 'processFolder', [], '');
        if (norm(pending) !== norm(own)) return;
        const started = Pellanor.callNative('NativeUtil', 'setStartupOnBoot', [true], false);
        Pellanor.callNative('NativeUtil', 'setSetting', [kPendingKey, ''], false);
        log.info('start at logon after install: ' + started);
    }

    function mainWindowPath() {
        const path = Pellanor.readNative('NativeUtil', 'mainWindowPath', '');
        return typeof path === 'string' ? path : '';
    }

    // Resolves once the main page reports ready (or after a timeout: the splash must not stay
    // on screen for ever because a page forgot to signal).
    function waitForMainWindow() {
        if (!Pellanor.hasMethod('NativeUtil', 'isMainWindowReady')) {
            return Pellanor.delay(kHideDelayMs);
        }
        const started = Date.now();
        return new Promise((resolve) => {
            const poll = () => {
                const ready =
                    Pellanor.callNative('NativeUtil', 'isMainWindowReady', [], false) === true;
                if (ready || Date.now() - started >= kReadyTimeoutMs) {
                    if (!ready) log.warn('the main window did not report ready in time');
                    resolve();
                } else {
                    setTimeout(poll, kReadyPollMs);
                }
            };
            poll();
        });
    }

    function afterSplashPainted() {
        return new Promise((resolve) => {
            let done = false;
            const go = () => {
                if (done) return;
                done = true;
                resolve();
            };
            requestAnimationFrame(() => requestAnimationFrame(go));
            setTimeout(go, kOpenDelayMs);
        });
    }

    async function openMainWindow() {
        const path = mainWindowPath();
        if (path === '' || !Pellanor.hasMethod('WindowUtil', 'createWindow')) {
            log.info('no main page to open; the splash stays');
            setStatus('loading.loading');
            return;
        }
        setStatus('loading.openingMain');
        let handle = 0;
        try {
            handle = WindowUtil.createWindow(path, kMainWindowFlag, true);
        } catch (error) {
            log.error('opening the main window failed:', error);
        }
        if (typeof handle !== 'number' || handle === 0) {
            log.error('no main window for ' + path);
            setStatus('loading.failed', true);
            element('retry').hidden = false;
            return;
        }
        log.info('main window ' + handle + ' opened: ' + path);
        await waitForMainWindow();
        setStatus('loading.ready');
        hideSplash();
    }

    async function start() {
        log.info('loading page started');
        fitSplash();
        wireWindowControls();
        if (Pellanor.readNative('PageWindow', 'showOnLoaded', false) === true) {
            Pellanor.callNative('HostWindow', 'show', [], undefined);
        }
        const language = await Locale.init();
        const origin = language.tag ? ' (' + language.tag + ' from ' + language.source + ')' :
                                      ' (' + language.source + ')';
        log.info('language ' + language.code + origin);
        if (!language.loaded) log.warn('language table not loaded: ' + language.error);
        log.info('version ' + showVersion());
        setWindowTitle();
        setStatus('loading.starting');
        applyPendingLogonStart();
        await afterSplashPainted();
        await openMainWindow();
    }

    Pellanor.onReady(() => {
        start().catch((error) => log.error('loading page failed:', error));
    });
})();
