// The main page's own texts, merged from the tables of everyone who writes sections, with the
// packed language tables behind them. The tray and the folder picker use it too.
(function () {
    'use strict';

    const kDefault = 'en-us';
    // Each group of sections brings its own tables; they are merged per language as they load.
    const tables = {};
    let language = kDefault;

    function add(code, entries) {
        tables[code] = Object.assign(tables[code] || {}, entries);
    }

    function lookup(code, key) {
        const table = tables[code];
        return table && typeof table[key] === 'string' ? table[key] : undefined;
    }

    // The main page's own tables first, then the packed ones (common.*, unit.*), then the key
    // itself, so a missing text is visible rather than blank.
    function t(key, ...args) {
        let text = lookup(language, key);
        if (text === undefined) text = lookup(kDefault, key);
        if (text === undefined) return window.Locale ? Locale.t(key, ...args) : key;
        return args.length === 0 ? text : StringUtil.format(text, ...args);
    }

    // Plural forms through Intl.PluralRules: `key.one`, `key.few`, `key.many`, `key.other`.
    // One rule set per language: a group header of a long list asks for a plural each.
    const pluralRules = new Map();

    function plural(key, n, ...args) {
        if (!pluralRules.has(language)) pluralRules.set(language, new Intl.PluralRules(language));
        const form = pluralRules.get(language).select(Number(n));
        const chosen = lookup(language, key + '.' + form) !== undefined ||
                       lookup(kDefault, key + '.' + form) !== undefined ? form : 'other';
        const shown = window.Format ? Format.count(n) : String(n);
        return t(key + '.' + chosen, shown, ...args);
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

    window.MainStrings = Object.freeze({
        add,
        t,
        plural,
        translate,
        tables: () => tables,
        setLanguage: (code) => {
            language = code;
        },
        current: () => language,
    });
})();
