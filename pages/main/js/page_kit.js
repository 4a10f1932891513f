// What every page outside the main window loads, from one script element:
//
//     <script src="../main/js/page_kit.js" data-texts="shell analysis"
//             data-scripts="../main/js/hotkeys.js js/hotkey.js"></script>
//
// First the shared scripts (the guards, strings, logger, languages, formats, icons, the main
// page's texts, single windows and the window chrome), then the twelve tables of each named
// text group (main/langs/<group>/<code>.js) in the order given, then the page's own scripts
// (relative to the page). Added scripts with async off run in the order they were added, so a
// page script may use everything named before it the moment it runs, as with a static list.
// PageKit.ready resolves once the last of them has run.
(function () {
    'use strict';

    const kShared = ['../../common/js/brandconfig.js', '../../common/js/global.js',
                     '../../common/js/stringutil.js', '../../common/js/logger.js',
                     '../../common/js/defaultlangs.js', '../../common/js/locale.js',
                     'format.js', 'icons.js', 'strings.js',
                     'components/page_windows.js', 'components/page_chrome.js'];

    const words = (text) => String(text || '').split(/\s+/).filter((word) => word !== '');

    // Every URL to load, in order; `kitUrl` is this script's, `pageUrl` the page's. The language
    // codes come from locale.js, which is loaded before the tables are asked for.
    function plan(kitUrl, pageUrl, groups, scripts, codes) {
        const shared = kShared.map((path) => new URL(path, kitUrl).href);
        const tables = [];
        for (const group of groups) {
            if (!/^[a-z]+$/.test(group)) continue;  // a name, never a path
            for (const code of codes) tables.push(new URL('../langs/' + group + '/' + code + '.js', kitUrl).href);
        }
        return {shared, rest: tables.concat(scripts.map((path) => new URL(path, pageUrl).href))};
    }

    function add(url) {
        return new Promise((resolve) => {
            const script = document.createElement('script');
            script.src = url;
            // Scripts may come from the archive, which names no character set; ours are UTF-8.
            script.charset = 'utf-8';
            script.async = false;
            script.onload = () => resolve(true);
            // A missing table or script must not stop the rest: the texts fall back to English.
            script.onerror = () => {
                console.error('[PageKit] cannot load ' + url);
                resolve(false);
            };
            (document.head || document.documentElement).appendChild(script);
        });
    }

    const self = document.currentScript;
    const kitUrl = self && self.src ? self.src : location.href;
    const groups = self ? words(self.dataset.texts) : [];
    const scripts = self ? words(self.dataset.scripts) : [];
    const codes = () => (window.Locale ? Locale.supported : ['en-us']);

    // Resolves true when every script loaded, false when any could not be.
    const ready = Promise.all(plan(kitUrl, location.href, [], [], []).shared.map(add)).then((shared) => {
        const rest = plan(kitUrl, location.href, groups, scripts, codes()).rest;
        return Promise.all(rest.map(add)).then((own) => shared.concat(own).every(Boolean));
    });

    window.PageKit = Object.freeze({plan, ready});
})();
