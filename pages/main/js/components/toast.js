// Short confirmations of quick successes (copied, saved). Never results and never errors: those
// stay beside what they are about.
(function () {
    'use strict';

    const kShownMs = 4000;

    function region() {
        let node = document.getElementById('toasts');
        if (!node) {
            node = document.createElement('div');
            node.id = 'toasts';
            node.className = 'toasts';
            node.setAttribute('role', 'status');
            node.setAttribute('aria-live', 'polite');
            document.body.appendChild(node);
        }
        return node;
    }

    function show(text) {
        const toast = document.createElement('div');
        toast.className = 'toast';
        toast.textContent = text;
        region().appendChild(toast);
        setTimeout(() => toast.remove(), kShownMs);
        return toast;
    }

    window.Toast = Object.freeze({show});
})();
