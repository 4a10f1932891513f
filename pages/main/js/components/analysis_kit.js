// Small helpers shared by the analysis sections (large files, duplicates, start-up items,
// programs, tools): texts, numbers and native calls through the page's shared objects, with
// plain stand-ins when a page under test loads these files without the rest of the window.
(function () {
    'use strict';

    function t(key, ...args) {
        if (window.MainStrings) return MainStrings.t(key, ...args);
        return key;
    }

    // A count text in the plural form the language needs: `key.one`, `key.few`, `key.many`,
    // `key.other`, with the formatted count as {0} and `args` from {1} on.
    function plural(key, n, ...args) {
        if (window.MainStrings && typeof MainStrings.plural === 'function') {
            return MainStrings.plural(key, n, ...args);
        }
        return t(key + '.other', count(n), ...args);
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
        // Marked texts are filled at once, not only at the next language switch.
        const i18n = attributes && attributes['data-i18n'];
        if (i18n && !('text' in attributes) && !children) node.textContent = t(i18n);
        const placeholder = attributes && attributes['data-i18n-placeholder'];
        if (placeholder) node.placeholder = t(placeholder);
        for (const child of [].concat(children || [])) {
            if (child === null || child === undefined) continue;
            node.appendChild(typeof child === 'string' ? document.createTextNode(child) : child);
        }
        return node;
    }

    // An argument kept in data-i18n-args is a value, not its text: {size: bytes}, {count: n} or
    // {date: value} is written in the language of the moment, so "1,5 Mo" becomes "1.5 MB" when
    // the user switches from French to English. Anything else is used as it stands.
    function argText(arg) {
        if (arg && typeof arg === 'object') {
            if ('size' in arg) return size(arg.size);
            if ('count' in arg) return count(arg.count);
            if ('date' in arg) return date(arg.date);
        }
        return arg;
    }

    // t() over arguments that may be such values.
    function tv(key, ...args) {
        return t(key, ...args.map(argText));
    }

    // Texts marked with data-i18n inside `root`, re-read after a language change; data-i18n-args
    // holds the JSON arguments of a text with placeholders.
    function translate(root) {
        for (const node of root.querySelectorAll('[data-i18n]')) {
            const args = node.dataset.i18nArgs ? JSON.parse(node.dataset.i18nArgs) : [];
            node.textContent = tv(node.dataset.i18n, ...args);
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

    // Bytes deleting one path of a scanned file gives back: nothing while the file has other
    // names (hard links), which keep its data. A record without a link count counts whole.
    function freedBytes(record) {
        return Number(record && record.links) > 1 ? 0 : Number(record && record.size) || 0;
    }

    // The file name and folder of a path in either separator.
    function splitPath(path) {
        const text = String(path || '');
        const cut = Math.max(text.lastIndexOf('/'), text.lastIndexOf('\\'));
        return {folder: cut > 0 ? text.slice(0, cut) : text, name: text.slice(cut + 1)};
    }

    // The parts every analysis section has: a header with title, one-line description and the
    // primary action, a banner for section-wide news, a body, and the sticky action bar with the
    // selection total. The window's shared frame when it has one, so every section looks alike.
    function frame(container, id, titleKey, descKey) {
        let parts;
        if (window.App && typeof App.sectionFrame === 'function') {
            parts = App.sectionFrame(container, titleKey, descKey);
        } else {
            const tools = el('div', {class: 'section-tools'});
            const header = el('header', {class: 'section-header'}, [
                el('div', {class: 'section-heading'}, [
                    el('h1', {class: 'section-title', 'data-i18n': titleKey, text: t(titleKey)}),
                    el('p', {class: 'section-desc', 'data-i18n': descKey, text: t(descKey)})]),
                tools]);
            const body = el('div', {class: 'section-body'});
            const barText = el('div', {class: 'action-bar-text'});
            const barActions = el('div', {class: 'section-tools'});
            const bar = el('footer', {class: 'action-bar'}, [barText, barActions]);
            container.append(header, body, bar);
            parts = {header, tools, body, bar, barText, barActions};
        }
        const heading = parts.header.querySelector('h1');
        if (heading) heading.id = id + '-title';
        const banner = el('div', {class: 'banner', hidden: true});
        parts.body.parentNode.insertBefore(banner, parts.body);
        parts.body.classList.add('an-body', 'an-body-' + id);
        return {root: container, header: parts.header, headerActions: parts.tools, banner,
                body: parts.body, bar: parts.bar, barText: parts.barText,
                barActions: parts.barActions};
    }

    // kind: info, warning or danger. Danger never relies on colour alone: it says so in words.
    function showBanner(banner, kind, text, action) {
        banner.textContent = '';
        banner.className = 'banner ' + kind;
        banner.setAttribute('role', kind === 'danger' ? 'alert' : 'status');
        if (kind !== 'info' && window.Icons) banner.appendChild(Icons.svg('warning', 16));
        banner.appendChild(el('span', {class: 'banner-text', text}));
        if (action) {
            banner.appendChild(el('button', {class: 'button secondary', type: 'button',
                                             text: action.label, onclick: action.run}));
        }
        banner.hidden = false;
    }

    // Buttons whose text the section changes itself (Scan/Stop, "Delete 1.2 GB") pass
    // {'data-i18n': null} so that a language switch does not put the static text back.
    function button(kind, key, onclick, extra) {
        return el('button', Object.assign({class: 'button ' + kind, type: 'button',
                                           'data-i18n': key, text: t(key), onclick}, extra));
    }

    // Folders from the window's folder picker page, else from the system dialog; [] when the
    // user cancels. The system dialog passes its answer through the ANSI code page, so a "?"
    // in it marks a character that was lost on the way (the caller offers a path field).
    async function pickFolders(title) {
        if (window.FolderPicker && typeof FolderPicker.open === 'function') {
            const picked = await FolderPicker.open();
            return [].concat(picked || []).filter((p) => typeof p === 'string' && p !== '');
        }
        const path = native('selectFolder', [title, ''], '');
        return typeof path === 'string' && path !== '' ? [path] : [];
    }

    // Elapsed time as m:ss.
    function elapsed(ms) {
        const seconds = Math.floor(ms / 1000);
        return Math.floor(seconds / 60) + ':' + String(seconds % 60).padStart(2, '0');
    }

    // The shared progress panel; a plain line when the window lacks it. options: {verb, onStop,
    // startedAt}; update({current, count, countText, bytes, fraction}). verb, current and
    // countText may be functions giving the text, so a language switch is followed.
    function progress(slot, options) {
        if (window.Progress && typeof Progress.show === 'function') {
            const panel = Progress.show(slot, options);
            if (panel) return panel;
        }
        slot.textContent = '';
        const line = el('p', {class: 'an-progress-line', role: 'status'});
        const stop = el('button', {class: 'button secondary', type: 'button',
                                   text: t('an.stop'), onclick: () => requestStop()});
        slot.appendChild(el('div', {class: 'an-progress'}, [line, options.onStop ? stop : null]));
        const text = (value) => (typeof value === 'function' ? value() : value);
        line.textContent = text(options.verb);
        let stopping = false;
        function requestStop() {
            if (stopping || !options.onStop) return;
            stopping = true;
            stop.disabled = true;
            options.onStop();
        }
        return {
            update(state) {
                const counts = text(state.countText) || (state.count ? count(state.count) : '');
                line.textContent = [text(options.verb), counts, state.bytes ? size(state.bytes) : '']
                    .filter(Boolean).join(' \u00b7 ');
            },
            requestStop,
            stopped() { stop.disabled = true; },
            done() { slot.textContent = ''; },
        };
    }

    // The shared result summary; our own lines in its look when the window lacks it or when
    // the outcome is not freed space (a move frees nothing on the drive it leaves). options:
    // {title, detail: {text, full}, failed: [{label, reason}], failedHeading, actions}.
    // `options` may be a function giving them: the summary is then written again after a
    // language switch.
    function summary(slot, options) {
        const live = typeof options === 'function';
        const first = live ? options() : options;
        if (!first.title && window.ResultSummary && typeof ResultSummary.show === 'function') {
            ResultSummary.show(slot, options);
            return;
        }
        slot.textContent = '';
        const root = el('div', {class: 'result', role: 'status'});
        slot.appendChild(root);
        if (live && window.ResultSummary && typeof ResultSummary.keepCurrent === 'function') {
            ResultSummary.keepCurrent(root, (r) => fillSummary(r, options()));
        } else {
            fillSummary(root, first);
        }
    }

    function fillSummary(root, options) {
        const failed = options.failed || [];
        const parts = [el('div', {class: 'result-title', text: options.title ||
                              t('an.freed', size(options.freedBytes || 0))})];
        if (options.detail) {
            parts.push(el('p', {class: 'result-detail', title: options.detail.full,
                                text: options.detail.text}));
        }
        if (failed.length > 0) {
            parts.push(el('details', {}, [
                el('summary', {text: options.failedHeading ||
                                   plural('an.failedCount', failed.length)}),
                el('ul', {class: 'result-failed'}, failed.map((f) => el('li', {
                    title: f.label, text: f.label + ' \u2014 ' + f.reason})))]));
        }
        parts.push(el('div', {class: 'result-actions'}, (options.actions || []).map(
            (action) => el('button', {class: 'button ' + (action.kind || ''), type: 'button',
                                      text: action.label, onclick: action.onClick}))));
        root.append(...parts);
    }

    // The scan button of a scan section: Scan or Rescan, then Stop, then Stopping… until the
    // final report.
    function paintScanButton(button, session, scanned, keys, disabled) {
        button.textContent = t(session.running ? (session.stopping ? 'an.stopping' : 'an.stop') :
                                   scanned ? keys.rescan : keys.scan);
        button.className = 'button ' + (session.running ? 'secondary' : 'primary');
        button.disabled = disabled || session.stopping;
    }

    // What App asks of a scan section: Esc stops its scan, the refresh key starts one, the
    // delete key deletes the ticked files; `extra` adds the section's own hooks.
    function scanSectionHooks(section, extra) {
        return Object.assign({
            show() { section.paintStatus(); },
            onEscape() {
                if (section.session.running) section.toggleScan();
            },
            onRefresh() {
                if (!section.session.running) section.toggleScan();
            },
            onDelete() { section.deleteSelected(); },
            fixture: (name) => section.fixture(name),
        }, extra);
    }

    // A usage event through the main page (which asks the user's consent first); nothing where
    // a page under test runs these files without it.
    function report(name, fields) {
        if (window.App && typeof App.report === 'function') App.report(name, fields);
    }

    // Milliseconds since `start` (a Date.now() value), for an event's duration.
    function since(start) {
        return Math.max(0, Date.now() - start);
    }

    window.AnalysisKit = Object.freeze({
        progress, summary, paintScanButton, scanSectionHooks,
        t, tv, argText, plural, native, nativeJson, size, count, date, middle, el, translate, busy, confirm, toast,
        sum, freedBytes, splitPath, pickFolders, frame, showBanner, button, elapsed, report, since,
    });
})();
