// The window chrome of the pages outside the main window: a frameless window centred in the
// work area, a title bar that drags it, Close (and Minimize where the page has one), Esc, and
// the language. The language is the stored choice, applied at load and again whenever the main
// page says it changed (over "pellanor-shell") or the window regains the focus, since a change
// made while this window was open is otherwise never seen here.
(function () {
    'use strict';

    const kShellChannel = 'pellanor-shell';
    const kLanguageSetting = 'app_language';

    const log = Logger.create('PageChrome');
    const element = (id) => document.getElementById(id);
    const hostWindow = (method, args) => Pellanor.callNative('HostWindow', method, args || [], undefined);
    let shell = null;
    let applied = null;  // the stored setting the page language was last made from
    let following = null;

    // {x, y, width, height} of a window `width` × `height` centred in `area` and clamped to it;
    // null when the area is unusable (outside the program, or a broken answer).
    function centredIn(area, width, height) {
        if (!area || !(area.width > 0) || !(area.height > 0)) return null;
        const w = Math.min(width, area.width);
        const h = Math.min(height, area.height);
        return {x: area.x + Math.round((area.width - w) / 2), y: area.y + Math.round((area.height - h) / 2),
                width: w, height: h};
    }

    function centre(width, height) {
        const frame = centredIn(Pellanor.callNative('HostWindow', 'workArea', [], null), width, height);
        if (frame) hostWindow('move', [frame.x, frame.y, frame.width, frame.height]);
    }

    function close() {
        if (Pellanor.hasMethod('HostWindow', 'close')) hostWindow('close');
        else window.close();
    }

    function raise() {
        hostWindow('restore');
        hostWindow('show');
    }

    function storedLanguage() {
        const stored = Pellanor.callNative('NativeUtil', 'getSetting', [kLanguageSetting, ''], '');
        return typeof stored === 'string' ? stored : '';
    }

    // Applies the stored language unless the page already has it; resolves with Locale.init's
    // answer, or null when nothing changed.
    async function applyLanguage(force) {
        const stored = storedLanguage();
        if (!force && stored === applied) return null;
        applied = stored;
        const result = await Locale.init(Locale.normalize(stored) || undefined);
        MainStrings.setLanguage(result.code);
        MainStrings.translate(document);
        if (following && following.titleKey) {
            document.title = MainStrings.t(following.titleKey);
            Pellanor.callNative('PageWindow', 'setTitle', [document.title], undefined);
        }
        if (following && following.onLanguage) following.onLanguage(result);
        if (!force) log.info(location.pathname + ' follows the language ' + result.code);
        return result;
    }

    const checkLanguage = () => applyLanguage(false);

    // Applies the language now and follows later changes. `options.titleKey` names the window
    // title, `options.onLanguage(result)` repaints what the page wrote itself.
    function followLanguage(options) {
        following = options || {};
        window.addEventListener('focus', checkLanguage);
        if (!shell && typeof BroadcastChannel === 'function') {
            shell = new BroadcastChannel(kShellChannel);
            shell.addEventListener('message', (event) => {
                if (event.data && event.data.command === 'language') checkLanguage();
            });
        }
        return applyLanguage(true);
    }

    // Tells the main page something over "pellanor-shell", or through the shared value it polls
    // where pages cannot broadcast.
    function tellMain(command) {
        if (typeof BroadcastChannel === 'function') {
            if (!shell) shell = new BroadcastChannel(kShellChannel);
            shell.postMessage({command});
        } else {
            Pellanor.callNative('NativeUtil', 'setSharedMemoryValue', ['trayCommand', command], false);
        }
    }

    function wire(options) {
        const closeButton = element('close');
        if (closeButton) closeButton.addEventListener('click', () => options.close());
        const minimize = element('minimize');
        if (minimize) minimize.addEventListener('click', () => hostWindow('minimize'));
        const titlebar = element('titlebar');
        if (titlebar) {
            titlebar.addEventListener('mousedown', (event) => {
                if (event.button !== 0 || event.target.closest('button')) return;
                Pellanor.callNative('HostWindow', 'startMove', [], false);
            });
        }
        // A page that uses Esc itself (to stop recording a key, say) marks the event handled.
        document.addEventListener('keydown', (event) => {
            if (event.key === 'Escape' && !event.defaultPrevented) options.escape(event);
        });
    }

    // Sets the window up: size and place, title bar, Esc, the language (then
    // `options.onLanguage`, so the page paints itself before it shows), then shows it when the
    // program asks pages to show themselves. Options: width, height, titleKey, close (default:
    // close the window), escape (default: close), onLanguage, and single: {page, onRaise} for
    // a page that exists once and comes forward when opened again. Resolves with the language.
    async function start(options) {
        const settings = Object.assign({close}, options || {});
        if (!settings.escape) settings.escape = settings.close;
        centre(settings.width, settings.height);
        wire(settings);
        const language = await followLanguage(settings);
        if (settings.single && window.PageWindows) {
            PageWindows.single(settings.single.page, () => {
                raise();
                window.focus();
                checkLanguage();
                if (settings.single.onRaise) settings.single.onRaise();
            });
        }
        if (Pellanor.readNative('PageWindow', 'showOnLoaded', false) === true) hostWindow('show');
        return language;
    }

    // `count` frames (two by default), so a state painted before a blocking native call is
    // really on screen; a hidden window gets no frames, so a timer stands in for each.
    function frames(count) {
        const one = () => new Promise((resolve) => {
            const timer = setTimeout(resolve, 100);
            requestAnimationFrame(() => {
                clearTimeout(timer);
                resolve();
            });
        });
        let chain = Promise.resolve();
        for (let i = 0; i < (count || 2); ++i) chain = chain.then(one);
        return chain;
    }

    window.PageChrome = Object.freeze({start, followLanguage, checkLanguage, centredIn, close, raise, tellMain,
                                       frames});
})();
