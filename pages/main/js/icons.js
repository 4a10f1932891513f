// The page's icon set: one 20 px grid, 1.5 px strokes in currentColor. Decorative by default.
(function () {
    'use strict';

    const kPaths = {
        home: 'M3 9.5 10 4l7 5.5V16a1 1 0 0 1-1 1h-4v-5H8v5H4a1 1 0 0 1-1-1z',
        junk: 'M4 6h12M8 6V4h4v2M5.5 6l.8 10.2a1 1 0 0 0 1 .8h5.4a1 1 0 0 0 1-.8L14.5 6M8.5 9v5M11.5 9v5',
        chat: 'M4 5h12v8H9l-3 3v-3H4z M7 9h.01M10 9h.01M13 9h.01',
        large: 'M6 3h6l4 4v10H6z M12 3v4h4 M9 13l2-3 2 3',
        dup: 'M7 3h7l3 3v8H7z M4 6v11h9',
        startup: 'M10 3v7 M6 5.5a6 6 0 1 0 8 0',
        programs: 'M3 4h6v6H3z M11 4h6v6h-6z M3 12h6v5H3z M11 12h6v5h-6z',
        tools: 'M12.5 3.5a3.5 3.5 0 0 0-3.3 4.6L3.5 13.8 6.2 16.5l5.7-5.7a3.5 3.5 0 0 0 4.6-3.3l-2 2-2.3-.5-.5-2.3z',
        settings: 'M10 7.5a2.5 2.5 0 1 0 0 5 2.5 2.5 0 0 0 0-5z M10 2.5v2 M10 15.5v2 M2.5 10h2 M15.5 10h2 M4.7 4.7l1.4 1.4 M13.9 13.9l1.4 1.4 M4.7 15.3l1.4-1.4 M13.9 6.1l1.4-1.4',
        about: 'M10 3a7 7 0 1 0 0 14 7 7 0 0 0 0-14z M10 9v5 M10 6.5v.01',
        minimize: 'M5 10h10',
        close: 'M5 5l10 10 M15 5 5 15',
        folder: 'M3 6a1 1 0 0 1 1-1h4l2 2h6a1 1 0 0 1 1 1v7a1 1 0 0 1-1 1H4a1 1 0 0 1-1-1z',
        warning: 'M10 3 2.5 16h15z M10 8v4 M10 14v.01',
        check: 'M4 10.5 8 14l8-8',
        drive: 'M3 11h14v4a1 1 0 0 1-1 1H4a1 1 0 0 1-1-1z M3 11l2-6h10l2 6 M13.5 13.5h.01',
        copy: 'M7 7h9v9H7z M4 13V4h9',
        refresh: 'M16 10a6 6 0 1 1-1.8-4.3 M16 4v3h-3',
        plus: 'M10 4v12 M4 10h12',
        exit: 'M8 4H4v12h4 M12 7l3 3-3 3 M15 10H8',
        update: 'M10 3v9 M6.5 8.5 10 12l3.5-3.5 M4 15h12',
        leaf: 'M5 15c0-6 4-10 11-10 0 7-4 11-10 11 M5 15l5-5',
    };

    // An <svg> element; `label` makes it meaningful instead of decorative.
    function svg(name, size, label) {
        const px = size || 20;
        const element = document.createElementNS('http://www.w3.org/2000/svg', 'svg');
        element.setAttribute('width', px);
        element.setAttribute('height', px);
        element.setAttribute('viewBox', '0 0 20 20');
        element.setAttribute('fill', 'none');
        element.setAttribute('stroke', 'currentColor');
        element.setAttribute('stroke-width', '1.5');
        element.setAttribute('stroke-linecap', 'round');
        element.setAttribute('stroke-linejoin', 'round');
        if (label) {
            element.setAttribute('role', 'img');
            element.setAttribute('aria-label', label);
        } else {
            element.setAttribute('aria-hidden', 'true');
        }
        const path = document.createElementNS('http://www.w3.org/2000/svg', 'path');
        path.setAttribute('d', kPaths[name] || kPaths.about);
        element.appendChild(path);
        return element;
    }

    window.Icons = Object.freeze({svg, names: Object.keys(kPaths)});
})();
