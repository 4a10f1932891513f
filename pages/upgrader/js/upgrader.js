// The updater window: checks for a newer version, shows what is new, downloads it into the temp
// folder with progress and Cancel, checks the file against the digest the service published,
// and on Install starts it and lets Pellanor quit so the installer can replace it. A file that
// does not match is deleted, never run; a failed or cancelled download leaves nothing behind
// (the program writes the file only once every byte has arrived).
(function () {
    'use strict';

    const kWidth = 520;
    const kHeight = 440;
    const kTextIntervalMs = 250;

    const S = (key, ...args) => MainStrings.t(key, ...args);
    const log = Logger.create('Updater');
    const element = (id) => document.getElementById(id);

    // name: checking | current | available | downloading | verifying | ready | installing | failed
    const state = {name: 'checking', offer: null, received: 0, total: -1, path: '', requestId: '',
                   failure: null, checks: 0, downloads: 0};
    let downloadToken = 0;
    let progressFrame = 0;
    let lastText = 0;

    function native(method, args, fallback) {
        return Pellanor.callNative('NativeUtil', method, args || [], fallback);
    }

    // The program hands out paths with forward slashes; Windows programs are started by their
    // own spelling of the path.
    function systemPath(path) {
        return /^[A-Za-z]:[\\/]/.test(path) ? path.replace(/\//g, '\\') : path;
    }

    function folderOf(path) {
        const cut = Math.max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
        return cut > 0 ? path.slice(0, cut) : '';
    }

    function go(name, fields) {
        Object.assign(state, fields || {}, {name});
        log.info('state ' + name + (state.failure && name === 'failed' ? ' (' + state.failure.key + ')' : ''));
        render(true);
    }

    function fail(key, retry, args) {
        go('failed', {failure: {key, retry, args: args || []}});
    }

    // ---- the steps ----

    async function check() {
        ++state.checks;
        go('checking', {offer: null, failure: null, path: ''});
        await PageChrome.frames(2);
        const text = native('checkUpdate', [], '');
        let answer = null;
        try {
            answer = JSON.parse(text);
        } catch (error) {
            answer = null;
        }
        const offer = UpdateOffer.read(answer, Pellanor.productVersion());
        if (offer.kind === 'failed') {
            log.warn('update check failed: ' + String(text).slice(0, 200));
            return fail(offer.key, 'check', offer.version ? [offer.version] : []);
        }
        if (offer.kind === 'current') return go('current');
        return go('available', {offer});
    }

    function download() {
        const offer = state.offer;
        const folder = String(native('getTempPath', [], '') || '').replace(/[\\/]+$/, '');
        if (!offer || folder === '') return fail('updater.saveFailed', 'download');
        const target = folder + '/' + UpdateOffer.fileName(offer.url, offer.version);
        const token = ++downloadToken;
        ++state.downloads;
        go('downloading', {received: 0, total: offer.size, path: '', failure: null});
        const id = native('downloadUpdate', [offer.url, target, (report) => onReport(token, report)], '');
        if (typeof id !== 'string' || id === '') return fail('updater.downloadFailed', 'download');
        state.requestId = id;
        log.info('download ' + id + ' of ' + offer.version + ' to ' + target);
        return undefined;
    }

    function onReport(token, report) {
        // A cancelled download's late word, or one from before a retry, changes nothing.
        if (token !== downloadToken || state.name !== 'downloading' || !report) return;
        const type = String(report.type);
        if (type === 'progress') {
            state.received = Number(report.received) || 0;
            const total = Number(report.total);
            state.total = Number.isFinite(total) && total > 0 ? total : -1;
            scheduleProgress();
            return;
        }
        state.requestId = '';
        if (type === 'done') {
            verify(String(report.path || '')).then((intact) => intact && go('ready'));
            return;
        }
        const error = String(report.error || '');
        log.warn('download failed: ' + error);
        // A transfer that broke because the network went away says so, not "failed".
        const key = native('isNetworkConnected', [], true) === false ? 'error.network' : UpdateOffer.downloadErrorKey(error);
        fail(key, 'download');
    }

    function cancel() {
        if (state.name !== 'downloading') return;
        const id = state.requestId;
        ++downloadToken;
        state.requestId = '';
        if (id) native('cancelDownload', [id], id);
        log.info('download ' + id + ' cancelled');
        fail('updater.cancelled', 'download');
    }

    // True when the file is the one the service published. A file that is not is deleted at
    // once: it is never offered for Install, and never left for someone to run by hand.
    async function verify(path) {
        go('verifying', {path});
        await PageChrome.frames(2);
        const digest = native('getFileSha256', [path], '');
        if (UpdateOffer.sameDigest(digest, state.offer && state.offer.sha256)) return true;
        log.warn('refused ' + path + ': digest ' + (digest || 'unreadable') + ', published ' +
                 (state.offer && state.offer.sha256));
        const removed = native('removeFile', [path], false) === true;
        fail(removed ? 'updater.mismatch' : 'updater.mismatchKept', 'download', [path]);
        return false;
    }

    // The file waited in a folder other programs write to, so it is checked again right before
    // it runs. Pellanor quits only once the installer really started.
    async function install() {
        if (!state.path || !(await verify(state.path))) return;
        go('installing');
        await PageChrome.frames(2);
        const file = systemPath(state.path);
        const started = native('launch', [file, folderOf(file), ''], false) === true;
        if (!started) {
            log.warn('installer did not start: ' + file);
            return fail('updater.launchFailed', 'install');
        }
        log.info('installer started, quitting');
        native('notifyRunningInstanceQuit', [], undefined);
        native('exitApp', [], undefined);
    }

    function retry() {
        const step = state.failure && state.failure.retry;
        if (step === 'install') return install();
        if (step === 'download' && state.offer) return download();
        return check();
    }

    function closeWindow() {
        cancel();
        PageChrome.close();
    }

    // ---- drawing ----

    function sizeLine(offer) {
        const parts = [S('updater.youHave', Pellanor.productVersion())];
        if (offer && offer.size > 0) parts.push(S('updater.size', Format.size(offer.size)));
        return parts.join(' · ');
    }

    function failureTitle(failure) {
        if (failure.retry === 'install') return S('updater.installFailed');
        if (failure.retry === 'download') return S('updater.notDownloaded', state.offer ? state.offer.version : '');
        return S('updater.checkFailed');
    }

    // What each state shows: badge, headline, subline, message, progress, notes and buttons.
    function view() {
        const offer = state.offer;
        const close = {key: 'common.close', run: closeWindow};
        const later = {key: 'updater.later', run: closeWindow};
        const quiet = {badge: 'update', subline: sizeLine(offer), message: '', progress: false,
                       notes: false, primary: null, secondary: null};
        switch (state.name) {
        case 'checking':
            return Object.assign(quiet, {badge: 'refresh', headline: S('updater.checking'),
                                         subline: S('updater.youHave', Pellanor.productVersion()), progress: true});
        case 'current':
            return Object.assign(quiet, {badge: 'check', headline: S('updater.upToDate'),
                                         subline: S('updater.upToDateDesc', Pellanor.productVersion()),
                                         primary: close, secondary: {key: 'updater.checkAgain', run: check}});
        case 'available':
            return Object.assign(quiet, {headline: S('updater.available', offer.version), notes: true,
                                         primary: {key: 'updater.download', run: download}, secondary: later});
        case 'downloading':
            return Object.assign(quiet, {headline: S('updater.downloading', offer.version), notes: true,
                                         progress: true, secondary: {key: 'common.cancel', run: cancel}});
        case 'verifying':
            return Object.assign(quiet, {headline: S('updater.verifying'), progress: true});
        case 'ready':
            return Object.assign(quiet, {badge: 'check', headline: S('updater.ready', offer.version),
                                         message: S('updater.readyDesc'), notes: true,
                                         primary: {key: 'updater.install', run: install}, secondary: later});
        case 'installing':
            return Object.assign(quiet, {headline: S('updater.starting'), message: S('updater.closing'), progress: true});
        default:
            return Object.assign(quiet, {badge: 'warning', headline: failureTitle(state.failure),
                                         message: S(state.failure.key, ...state.failure.args),
                                         primary: {key: 'common.retry', run: retry}, secondary: close});
        }
    }

    function setButton(button, action) {
        button.hidden = !action;
        button.textContent = action ? S(action.key) : '';
        button.onclick = action ? () => action.run() : null;
    }

    function renderNotes(notes) {
        const list = element('notes');
        list.textContent = '';
        for (const line of notes) list.appendChild(Object.assign(document.createElement('li'), {textContent: line}));
    }

    function render(stateChanged) {
        const shown = view();
        const root = element('updater');
        root.dataset.state = state.name;
        const badge = element('badge');
        badge.textContent = '';
        badge.appendChild(Icons.svg(shown.badge, 20));
        element('headline').textContent = shown.headline;
        element('subline').textContent = shown.subline;
        element('message').textContent = shown.message;
        element('progress').hidden = !shown.progress;
        const notes = shown.notes && state.offer && state.offer.notes.length > 0;
        element('notes-block').hidden = !notes;
        if (notes) renderNotes(state.offer.notes);
        const footnote = element('footnote');
        const folder = folderOf(state.path);
        footnote.textContent = state.name === 'ready' ? state.path.slice(folder ? folder.length + 1 : 0) : '';
        footnote.title = state.name === 'ready' ? state.path : '';
        setButton(element('primary'), shown.primary);
        setButton(element('secondary'), shown.secondary);
        lastText = 0;
        renderProgress();
        if (stateChanged) {
            const target = shown.primary ? element('primary') : shown.secondary ? element('secondary') : null;
            if (target) target.focus();
        }
    }

    function scheduleProgress() {
        if (progressFrame) return;
        progressFrame = requestAnimationFrame(() => {
            progressFrame = 0;
            renderProgress();
        });
    }

    // The bar follows every report; its text changes at most four times a second.
    function renderProgress() {
        const bar = element('bar');
        const fill = bar.firstElementChild;
        const known = state.name === 'downloading' && state.total > 0;
        bar.classList.toggle('indeterminate', !known);
        const fraction = known ? Math.max(0, Math.min(1, state.received / state.total)) : 0;
        fill.style.transform = known ? 'scaleX(' + fraction + ')' : '';
        if (known) bar.setAttribute('aria-valuenow', String(Math.round(fraction * 100)));
        else bar.removeAttribute('aria-valuenow');
        const now = Date.now();
        if (now - lastText < kTextIntervalMs) return;
        lastText = now;
        let text = '';
        if (state.name === 'downloading') {
            text = known ? S('updater.progress', Format.size(state.received), Format.size(state.total), Format.percent(fraction))
                : S('updater.progressUnknown', Format.size(state.received));
        }
        element('counts').textContent = text;
        bar.setAttribute('aria-valuetext', text || element('headline').textContent);
        bar.setAttribute('aria-label', element('headline').textContent);
    }

    // ---- window ----

    // Esc stops a download; it never interrupts a check, a verification or an install start.
    function onEscape() {
        if (state.name === 'downloading') cancel();
        else if (!['checking', 'verifying', 'installing'].includes(state.name)) closeWindow();
    }

    // Asked for again while open: it comes to the front, and looks again unless work is under way.
    function onRaise() {
        if (state.name === 'current' || (state.name === 'failed' && state.failure.retry === 'check')) check();
    }

    // Screenshots and tests: any state from made-up data; nothing is downloaded or written. The
    // notes are the service's text, not the page's, so a caller showing another language brings
    // its own.
    function show(section, name, notes) {
        const offer = {version: '9.1.0', url: 'https://example.invalid/Pellanor-9.1.0-setup.exe', size: 23456789,
                       sha256: '0'.repeat(64), notes: Array.isArray(notes) ? notes.map(String) : [
                           'Faster duplicate scans on large folders', 'The tray menu follows the system language',
                           'Fixes a crash when a drive is removed']};
        const fixtures = {
            checking: {},
            current: {},
            available: {offer},
            downloading: {offer, received: 9876543, total: offer.size},
            'downloading-unknown': {offer: Object.assign({}, offer, {size: -1}), received: 9876543, total: -1},
            verifying: {offer},
            ready: {offer, path: 'C:/Users/Anna/AppData/Local/Temp/Pellanor-9.1.0-setup.exe'},
            failed: {offer, failure: {key: 'updater.mismatch', retry: 'download', args: []}},
        };
        if (!(name in fixtures)) return false;
        ++downloadToken;
        Object.assign(state, {offer: null, received: 0, total: -1, path: '', requestId: '', failure: null}, fixtures[name]);
        go(name.split('-')[0]);
        return true;
    }

    window.PellanorUI = Object.freeze({show});
    window.UpdaterPage = Object.freeze({
        state: () => JSON.parse(JSON.stringify(state)),
        check, download, cancel, install, retry,
    });

    Pellanor.onReady(async () => {
        // Closed some other way mid-download: the transfer stops with the window.
        window.addEventListener('pagehide', cancel);
        await PageChrome.start({width: kWidth, height: kHeight, titleKey: 'updater.title', close: closeWindow,
                                escape: onEscape, onLanguage: () => render(false), single: {page: 'upgrader', onRaise}});
        await check();
    });
})();
