// Heavy synchronous native calls freeze the page while they run; the busy state is painted
// first (two frames, so it is really on screen) and says what is happening.
(function () {
    'use strict';

    // Busy.run(label, fn, {container, note}) -> Promise of fn's result.
    async function run(label, fn, options) {
        const o = options || {};
        const host = o.container || document.getElementById('content') || document.body;
        if (getComputedStyle(host).position === 'static') host.style.position = 'relative';
        const bar = document.createElement('div');
        bar.className = 'bar indeterminate';
        bar.setAttribute('role', 'progressbar');
        bar.setAttribute('aria-valuetext', label);
        bar.appendChild(Object.assign(document.createElement('div'), {className: 'bar-fill'}));
        const overlay = document.createElement('div');
        overlay.className = 'busy';
        overlay.setAttribute('aria-busy', 'true');
        overlay.append(Object.assign(document.createElement('div'), {className: 'busy-label', textContent: label}),
                       bar);
        if (o.note) overlay.appendChild(Object.assign(document.createElement('div'), {className: 'muted', textContent: o.note}));
        host.appendChild(overlay);
        try {
            await App.nextFrames(2);
            return await fn();
        } finally {
            overlay.remove();
        }
    }

    window.Busy = Object.freeze({run});
})();
