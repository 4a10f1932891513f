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

    // The parts every analysis section has: a header with title, one-line description and the
    // primary action, a body, and the sticky action bar with the selection total.
    function frame(container, id, titleKey, descKey) {
        const headerActions = el('div', {class: 'an-header-actions'});
        const header = el('header', {class: 'an-header'}, [
            el('div', {class: 'an-heading'}, [
                el('h1', {id: id + '-title', 'data-i18n': titleKey, text: t(titleKey)}),
                el('p', {class: 'an-desc', 'data-i18n': descKey, text: t(descKey)}),
            ]),
            headerActions,
        ]);
        const banner = el('div', {class: 'an-banner', role: 'status', hidden: true});
        const body = el('div', {class: 'an-body'});
        const barText = el('span', {class: 'an-bar-text'});
        const barActions = el('div', {class: 'an-bar-actions'});
        const bar = el('footer', {class: 'an-bar'}, [barText, barActions]);
        const root = el('section', {class: 'an-section', id: 'section-' + id,
                                    'aria-labelledby': id + '-title'},
                        [header, banner, body, bar]);
        container.appendChild(root);
        return {root, header, headerActions, banner, body, bar, barText, barActions};
    }

    function showBanner(banner, kind, text, action) {
        banner.textContent = '';
        banner.className = 'an-banner an-banner-' + kind;
        banner.appendChild(el('span', {text}));
        if (action) {
            banner.appendChild(el('button', {class: 'an-btn an-btn-secondary', type: 'button',
                                             text: action.label, onclick: action.run}));
        }
        banner.hidden = false;
    }

    function button(kind, key, onclick, extra) {
        return el('button', Object.assign({class: 'an-btn an-btn-' + kind, type: 'button',
                                           'data-i18n': key, text: t(key), onclick}, extra));
    }

    // Elapsed time as m:ss.
    function elapsed(ms) {
        const seconds = Math.floor(ms / 1000);
        return Math.floor(seconds / 60) + ':' + String(seconds % 60).padStart(2, '0');
    }

    // The shared progress panel; a plain line when the window lacks it.
    function progress(slot, options) {
        if (window.Progress && typeof Progress.show === 'function') {
            const panel = Progress.show(slot, options);
            if (panel) return panel;
        }
        slot.textContent = '';
        const line = el('p', {class: 'an-progress-line', role: 'status'});
        const stop = el('button', {class: 'an-btn an-btn-secondary', type: 'button',
                                   text: t('common.stop'), onclick: () => options.onStop()});
        slot.appendChild(el('div', {class: 'an-progress'}, [line, options.onStop ? stop : null]));
        line.textContent = options.verb;
        return {
            update(state) {
                line.textContent = options.verb + ' \u00b7 ' + count(state.count || 0) +
                    (state.bytes ? ' \u00b7 ' + size(state.bytes) : '');
            },
            stopped() { stop.disabled = true; },
            done() { slot.textContent = ''; },
        };
    }

    // The shared result summary; a plain line when the window lacks it.
    function summary(slot, options) {
        if (window.ResultSummary && typeof ResultSummary.show === 'function') {
            ResultSummary.show(slot, options);
            return;
        }
        slot.textContent = '';
        const lines = [el('p', {class: 'an-summary-title', text: options.title ||
                                t('common.freed', size(options.freedBytes || 0))})];
        for (const failed of options.failed || []) {
            lines.push(el('p', {class: 'an-summary-failed', text: failed.label + ' \u2014 ' +
                                failed.reason}));
        }
        for (const action of options.actions || []) {
            lines.push(el('button', {class: 'an-btn an-btn-secondary', type: 'button',
                                     text: action.label, onclick: action.run}));
        }
        slot.appendChild(el('div', {class: 'an-summary', role: 'status'}, lines));
    }

    window.AnalysisKit = Object.freeze({
        progress, summary,
        t, native, nativeJson, size, count, date, middle, el, translate, busy, confirm, toast,
        sum, splitPath, frame, showBanner, button, elapsed,
    });
})();
