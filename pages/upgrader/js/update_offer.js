// What the update service offers, read from its latest-version answer (the shape is in
// pages/README.md), and the names and messages the updater derives from it. The version, the
// failures and the notes are read by Versions, as About and the automatic check read them; what
// is the updater's alone is what it takes to download: an https address and a digest. No native
// calls, no DOM: the updater's tests feed it answers directly.
(function () {
    'use strict';

    const kDigest = /^[0-9a-f]{64}$/;

    // Only a download nobody on the way can alter is offered; the program itself refuses other
    // addresses, but the page says so before the user waits for nothing.
    function downloadUrl(value) {
        if (typeof value !== 'string') return '';
        try {
            const url = new URL(value);
            const local = ['127.0.0.1', 'localhost', '[::1]'].includes(url.hostname);
            return url.protocol === 'https:' || (url.protocol === 'http:' && local) ? url.href : '';
        } catch (error) {
            return '';
        }
    }

    // -> {kind: 'failed', key} | {kind: 'current', version} |
    //    {kind: 'available', version, notes, url, size, sha256}. An offer that cannot be checked
    //    after download (no digest) is not offered at all: it could never be installed.
    function read(answer, currentVersion) {
        const failure = Versions.errorKey(answer);
        if (failure) return {kind: 'failed', key: failure};
        const offer = Versions.offer(answer);
        if (!offer) return {kind: 'failed', key: 'error.generic'};
        const version = Versions.offered(answer);
        if (!Versions.newer(version, currentVersion)) return {kind: 'current', version: String(currentVersion)};
        const url = downloadUrl(offer.url);
        const sha256 = typeof offer.sha256 === 'string' ? offer.sha256.trim().toLowerCase() : '';
        if (!url || !kDigest.test(sha256)) return {kind: 'failed', key: 'updater.noDownload', version};
        const size = Number(offer.size);
        return {kind: 'available', version, notes: Versions.notes(offer), url, sha256,
                size: Number.isFinite(size) && size > 0 ? size : -1};
    }

    // The file name in the temp folder: the URL's own name when it is a plain one, so the user
    // recognises it; otherwise one made from the version. Never a path, never hidden.
    function fileName(url, version) {
        let last = '';
        try {
            last = decodeURIComponent(new URL(url).pathname.split('/').pop() || '');
        } catch (error) {
            last = '';
        }
        if (/^[A-Za-z0-9][A-Za-z0-9._-]{0,99}\.[A-Za-z0-9]{1,8}$/.test(last) && !last.includes('..')) return last;
        const safeVersion = String(version || '').replace(/[^0-9A-Za-z.]/g, '').replace(/\.+/g, '.').replace(/^\.|\.$/g, '');
        return 'Pellanor-' + (safeVersion || 'update') + '-setup.exe';
    }

    // A download's error text as a message key: the program's own timeout text, a server that
    // answered with an error status (the network layer says "server replied"), or a failure of
    // the transfer the user can retry. "Check your connection" would mislead the first two.
    function downloadErrorKey(text) {
        if (text === 'request timeout') return 'error.timeout';
        if (typeof text !== 'string') return 'updater.downloadFailed';
        if (text.startsWith('save file failed')) return 'updater.saveFailed';
        if (/server replied|HTTP status \d/.test(text)) return 'updater.serverRefused';
        return 'updater.downloadFailed';
    }

    function sameDigest(actual, published) {
        return typeof actual === 'string' && kDigest.test(actual.toLowerCase()) &&
            actual.toLowerCase() === String(published || '').toLowerCase();
    }

    window.UpdateOffer = Object.freeze({read, newer: Versions.newer, fileName, downloadErrorKey, sameDigest});
})();
