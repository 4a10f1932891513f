// Small helpers shared by the analysis sections (large files, duplicates, start-up items,
// programs, tools): texts, numbers and native calls through the page's shared objects, with
// plain stand-ins when a page under test loads these files without the rest of the window.
(function () {
    'use strict';

    function t(key, ...args) {
        if (window.MainStrings) return MainStrings.t(key, ...args);
        return key;
    }

    // A native call that never throws: the shared guard when the window has it.
    function native(name, args, fallback) {
        const list = args || [];
        if (window.Native && typeof Native.call === 'function') {
            const value = Native.call(name, ...list);
            return value === undefined || value === null ? fallback : value;
        }
        return Pellanor.callNative('NativeUtil', name, list, fallback);
    }

    // JSON answers of native methods; `fallback` when the text is missing or broken.
    function nativeJson(name, args, fallback) {
        const text = native(name, args, '');
        if (typeof text !== 'string' || text === '') return fallback;
        try {
            return JSON.parse(text);
        } catch (error) {
            return fallback;
        }
    }

    function size(bytes) {
        return window.Format ? Format.size(bytes) : String(bytes) + ' B';
    }

    function count(n) {
        return window.Format ? Format.count(n) : String(n);
    }

    function date(value) {
        return window.Format ? Format.date(value) : String(value || '');
    }

    function middle(text, max) {
        const value = String(text || '');
        if (window.Format) return Format.middle(value, max);
        if (value.length <= max) return value;
        const half = Math.floor((max - 1) / 2);
        return value.slice(0, half) + '\u2026' + value.slice(value.length - (max - 1 - half));
    }

    // el('button', {class: 'x', 'data-i18n': 'k', onclick: fn}, [children or text])
    function el(tag, attributes, children) {
        const node = document.createElement(tag);
        for (const [name, value] of Object.entries(attributes || {})) {
            if (value === undefined || value === null || value === false) continue;
            if (name.startsWith('on') && typeof value === 'function') {
                node.addEventListener(name.slice(2), value);
            } else if (name === 'text') {
                node.textContent = value;
            } else {
                node.setAttribute(name, value === true ? '' : String(value));
            }
        }
        for (const child of [].concat(children || [])) {
            if (child === null || child === undefined) continue;
            node.appendChild(typeof child === 'string' ? document.createTextNode(child) : child);
        }
        return node;
    }

    // Texts marked with data-i18n inside `root`, re-read after a language change; data-i18n-args
    // holds the JSON arguments of a text with placeholders.
    function translate(root) {
        for (const node of root.querySelectorAll('[data-i18n]')) {
            const args = node.dataset.i18nArgs ? JSON.parse(node.dataset.i18nArgs) : [];
            node.textContent = t(node.dataset.i18n, ...args);
        }
        for (const node of root.querySelectorAll('[data-i18n-title]')) {
            node.title = t(node.dataset.i18nTitle);
            node.setAttribute('aria-label', node.title);
        }
        for (const node of root.querySelectorAll('[data-i18n-placeholder]')) {
            node.placeholder = t(node.dataset.i18nPlaceholder);
        }
    }

    // A heavy synchronous call behind a painted busy state.
    function busy(label, fn) {
        if (window.Busy && typeof Busy.run === 'function') return Busy.run(label, fn);
        return new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(
            () => resolve(fn()))));
    }

    function confirm(options) {
        if (window.Confirm && typeof Confirm.ask === 'function') return Confirm.ask(options);
        return Promise.resolve(false);
    }

    function toast(text) {
        if (window.Toast) Toast.show(text);
    }

    function sum(list, key) {
        let total = 0;
        for (const item of list) total += Number(key ? item[key] : item) || 0;
        return total;
    }

    // The file name and folder of a path in either separator.
    function splitPath(path) {
        const text = String(path || '');
        const cut = Math.max(text.lastIndexOf('/'), text.lastIndexOf('\\'));
        return {folder: cut > 0 ? text.slice(0, cut) : text, name: text.slice(cut + 1)};
    }

    window.AnalysisKit = Object.freeze({
        t, native, nativeJson, size, count, date, middle, el, translate, busy, confirm, toast,
        sum, splitPath,
    });
})();
