// Text helpers of the pages. None of them throws: bad input gives an empty or unchanged text.
(function () {
    'use strict';

    const kDefaultUnits = ['B', 'KB', 'MB', 'GB', 'TB'];

    function text(value) {
        return value === undefined || value === null ? '' : String(value);
    }

    // format('{0} of {1}', 3, 7) -> '3 of 7'. Placeholders without an argument stay as written,
    // so a missing argument shows up in the page instead of silently vanishing.
    function format(template, ...args) {
        return text(template).replace(/\{(\d+)\}/g, (whole, index) => {
            const value = args[Number(index)];
            return value === undefined ? whole : text(value);
        });
    }

    const kHtmlEntities = {'&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;'};

    function escapeHtml(value) {
        return text(value).replace(/[&<>"']/g, (c) => kHtmlEntities[c]);
    }

    // 1536 -> '1.5 KB'. Sizes are binary multiples, as the system's own tools show them.
    // `units` names B, KB, MB, GB and TB in the page's language. Invalid sizes give ''.
    function formatBytes(bytes, units, decimals) {
        const size = Number(bytes);
        if (!Number.isFinite(size) || size < 0) return '';
        const names = Array.isArray(units) && units.length === 5 ? units : kDefaultUnits;
        const digits = Number.isInteger(decimals) && decimals >= 0 && decimals <= 3 ? decimals : 1;
        let index = 0;
        let value = size;
        while (value >= 1024 && index < names.length - 1) {
            value /= 1024;
            ++index;
        }
        // Whole bytes never get decimals; larger values drop a trailing ".0".
        const shown = index === 0 ? String(Math.round(value)) :
                                    String(Number(value.toFixed(digits)));
        return shown + ' ' + names[index];
    }

    function trim(value) {
        return text(value).trim();
    }

    function widthOf(width) {
        return Math.max(0, Number(width) || 0);
    }

    function fillOf(fill) {
        return fill === undefined ? ' ' : text(fill);
    }

    function padStart(value, width, fill) {
        return text(value).padStart(widthOf(width), fillOf(fill));
    }

    function padEnd(value, width, fill) {
        return text(value).padEnd(widthOf(width), fillOf(fill));
    }

    // Cuts long names for narrow list columns; whole code points, so no emoji is split in half.
    function truncate(value, maxLength, ellipsis) {
        const characters = Array.from(text(value));
        const limit = Math.max(0, Number(maxLength) || 0);
        if (characters.length <= limit) return characters.join('');
        const mark = ellipsis === undefined ? '\u2026' : text(ellipsis);
        const markLength = Array.from(mark).length;
        if (limit <= markLength) return characters.slice(0, limit).join('');
        return characters.slice(0, limit - markLength).join('') + mark;
    }

    window.StringUtil = Object.freeze({
        format,
        escapeHtml,
        formatBytes,
        trim,
        padStart,
        padEnd,
        truncate,
    });
})();
