// What a cleaning did, measured afterwards: the space freed, what could not be removed and why,
// and what to do next. It takes the progress panel's place.
(function () {
    'use strict';

    const S = (key, ...args) => MainStrings.t(key, ...args);

    function node(tag, className, text) {
        const element = document.createElement(tag);
        if (className) element.className = className;
        if (text !== undefined) element.textContent = text;
        return element;
    }

    // A summary may wait off screen (the chat section keeps one per app while the other tab
    // shows), so the newest few are rewritten whether shown or not; older ones are long gone.
    const kLiveSummaries = 8;
    const live = [];

    // `paint(root)` fills `root` in the language of the moment, now and after every switch.
    function keepCurrent(root, paint) {
        paint(root);
        live.push({root, paint});
        if (live.length > kLiveSummaries) live.shift();
    }

    document.addEventListener('pellanor-language', () => {
        for (const {root, paint} of live) {
            const open = Boolean(root.querySelector('details[open]'));
            root.textContent = '';
            paint(root);
            const details = root.querySelector('details');
            if (details) details.open = open;
        }
    });

    // show(container, {freedBytes, lines: [text], failed: [{label, reason}],
    //                  actions: [{label, onClick, kind}]}) -> the summary element
    // `options` may be a function giving them, called again after a language switch, so that
    // the freed size and the lines follow the new language.
    function show(container, options) {
        for (const old of container.querySelectorAll(':scope > .result')) old.remove();
        const root = node('div', 'result');
        root.setAttribute('role', 'status');
        if (typeof options === 'function') keepCurrent(root, (r) => fill(r, options()));
        else fill(root, options);
        container.prepend(root);
        return root;
    }

    function fill(root, options) {
        const o = options || {};
        const freed = Number(o.freedBytes) || 0;
        root.appendChild(node('div', 'result-title',
                              freed > 0 ? S('result.freed', Format.size(freed)) : S('result.nothingFreed')));
        if (Array.isArray(o.lines) && o.lines.length > 0) {
            const list = node('ul', 'result-lines');
            for (const line of o.lines) list.appendChild(node('li', '', line));
            root.appendChild(list);
        }
        const failed = Array.isArray(o.failed) ? o.failed : [];
        if (failed.length > 0) {
            const details = node('details');
            details.appendChild(node('summary', '', MainStrings.plural('result.failed', failed.length)));
            const list = node('ul', 'result-failed');
            for (const item of failed) {
                const row = node('li', '', item.label + (item.reason ? ' \u2014 ' + item.reason : ''));
                row.title = item.label;
                list.appendChild(row);
            }
            details.appendChild(list);
            root.appendChild(details);
        }
        const actions = node('div', 'result-actions');
        for (const action of o.actions || []) {
            const b = node('button', 'button ' + (action.kind || ''), action.label);
            b.type = 'button';
            b.addEventListener('click', action.onClick);
            actions.appendChild(b);
        }
        if (actions.childElementCount > 0) root.appendChild(actions);
    }

    window.ResultSummary = Object.freeze({show, keepCurrent});
})();
