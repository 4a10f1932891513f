// The page language: which of the twelve language tables to use, loading it, t(key) and the
// translation of elements marked data-i18n (text) or data-i18n-title (tooltip and label).
//
// The language comes from, in this order: a LANG=xx-yy token on the program's command line, the
// program's own detection (NativeUtil.language), the browser's language list, and en-us. A
// candidate that names no supported language passes to the next one. Needs global.js first;
// stringutil.js is used for {0} placeholders when present.
(function () {
    'use strict';

    const kSupported = Object.freeze(['de-de', 'en-us', 'es-es', 'fr-fr', 'it-it', 'ja-jp',
                                      'ko-kr', 'pt-pt', 'ru-ru', 'th-th', 'tr-tr', 'zh-cn']);
    const kDefault = 'en-us';
    const kLangToken = /LANG=([a-zA-Z]{2}-[a-zA-Z]{2})/;

    // Language tables sit beside this script's folder, whichever folder the page lives in.
    const kTablesBase = (function () {
        const script = document.currentScript;
        try {
            if (script && script.src) return new URL('../langs/', script.src).href;
        } catch (error) {
            // Fall through to the archive's fixed place.
        }
        return 'this://app/common/langs/';
    })();

    let current = kDefault;
    let table = {};

    // 'de' -> 'de-de', 'pt-BR' -> 'pt-pt', 'zh-Hant-TW' -> 'zh-cn'; '' when nothing fits.
    // Every table serves all regions of its language: a Brazilian reader is better served
    // by the Portuguese table than by the English one.
    function normalize(tag) {
        if (typeof tag !== 'string') return '';
        const wanted = tag.trim().toLowerCase().replace(/_/g, '-');
        if (wanted === '') return '';
        if (kSupported.includes(wanted)) return wanted;
        const language = wanted.split('-')[0];
        return kSupported.find((code) => code.split('-')[0] === language) || '';
    }

    function commandLineTag(argumentsList) {
        for (const argument of argumentsList) {
            const match = kLangToken.exec(String(argument));
            if (match) return match[1];
        }
        return '';
    }

    // Sources in order of precedence, each asked only when the ones before it gave nothing:
    // the native detection is a synchronous call that writes a log line.
    function helpers() {
        return window.Pellanor || null;
    }

    const kSources = [
        {
            source: 'command line',
            tags: () => [commandLineTag(helpers() ? helpers().commandLine() : [])],
        },
        {
            source: 'system',
            tags: () => [helpers() ? helpers().callNative('NativeUtil', 'language', [], '') : ''],
        },
        {
            source: 'browser',
            tags: () => (Array.isArray(navigator.languages) ? navigator.languages : [])
                            .concat([navigator.language]),
        },
    ];

    // {code, source, tag}: the language to use and where it came from.
    function detect() {
        for (const {source, tags} of kSources) {
            for (const tag of tags()) {
                const code = normalize(tag);
                if (code !== '') return {code, source, tag};
            }
        }
        return {code: kDefault, source: 'default', tag: ''};
    }

    function tables() {
        if (!window.PellanorLangs || typeof window.PellanorLangs !== 'object') {
            window.PellanorLangs = {};
        }
        return window.PellanorLangs;
    }

    function defaults() {
        const table = window.PellanorDefaultLang;
        return table && typeof table === 'object' ? table : {};
    }

    // Resolves with the table of `code`, loading its file once; rejects when it cannot.
    function loadTable(code) {
        if (tables()[code]) return Promise.resolve(tables()[code]);
        const url = kTablesBase + code + '.js';
        const load = window.Pellanor ? window.Pellanor.loadScript(url) :
                                       Promise.reject(new Error('global.js is missing'));
        return load.then(() => {
            const loaded = tables()[code];
            if (!loaded || typeof loaded !== 'object') throw new Error(url + ' defines no table');
            return loaded;
        });
    }

    // The text of `key` in the page language, else in the default table, else the key itself
    // (a visible key is easier to notice and report than an empty label).
    function t(key, ...args) {
        const own = table[key];
        const fallback = defaults()[key];
        let value = String(key);
        if (typeof own === 'string') {
            value = own;
        } else if (typeof fallback === 'string') {
            value = fallback;
        }
        if (args.length === 0) return value;
        return window.StringUtil ? window.StringUtil.format(value, ...args) : value;
    }

    function translate(root) {
        const scope = root || document;
        for (const element of scope.querySelectorAll('[data-i18n]')) {
            element.textContent = t(element.getAttribute('data-i18n'));
        }
        for (const element of scope.querySelectorAll('[data-i18n-title]')) {
            const text = t(element.getAttribute('data-i18n-title'));
            element.setAttribute('title', text);
            element.setAttribute('aria-label', text);
        }
    }

    function apply(code, loadedTable) {
        current = code;
        table = loadedTable;
        document.documentElement.lang = code;
        translate(document);
        document.documentElement.classList.remove('i18n-pending');
    }

    // Picks (or takes `forcedCode`), loads and applies the language. Never rejects: a table that
    // cannot be loaded leaves the page in the default language, with `error` set.
    function init(forcedCode) {
        const picked = forcedCode !== undefined ?
            {code: normalize(forcedCode) || kDefault, source: 'page', tag: String(forcedCode)} :
            detect();
        return loadTable(picked.code)
            .then((loaded) => {
                apply(picked.code, loaded);
                return Object.assign({loaded: true}, picked);
            })
            .catch((error) => {
                apply(kDefault, tables()[kDefault] || {});
                const failure = {code: kDefault, loaded: false, error: String(error.message)};
                return Object.assign({}, picked, failure);
            });
    }

    window.Locale = Object.freeze({
        supported: kSupported,
        defaultCode: kDefault,
        normalize,
        detect,
        init,
        t,
        translate,
        current: () => current,
    });
})();
