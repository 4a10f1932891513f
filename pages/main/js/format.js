// Numbers, sizes, dates and shortened paths in the page language. Sizes are 1024-based with the
// unit names of the language tables, as Explorer shows them; StringUtil.formatBytes writes
// "1.5" in every language, so it is not used here.
(function () {
    'use strict';

    const kUnitKeys = ['unit.byte', 'unit.kilobyte', 'unit.megabyte', 'unit.gigabyte', 'unit.terabyte'];
    const kNoBreak = '\u00a0';

    // Intl objects are costly to build and sizes are formatted per row, so one per language.
    const formatters = new Map();

    function language() {
        return window.Locale ? Locale.current() : 'en-us';
    }

    function numberFormat(maximumFractionDigits) {
        const key = language() + '/' + maximumFractionDigits;
        if (!formatters.has(key)) {
            formatters.set(key, new Intl.NumberFormat(language(), {maximumFractionDigits}));
        }
        return formatters.get(key);
    }

    function unitName(index) {
        const key = kUnitKeys[index];
        const text = window.MainStrings ? MainStrings.t(key) : window.Locale ? Locale.t(key) : key;
        return text === key ? ['B', 'KB', 'MB', 'GB', 'TB'][index] : text;
    }

    // 1536 -> "1.5 KB"; '' for anything that is not a size.
    function size(bytes) {
        const value = Number(bytes);
        if (!Number.isFinite(value) || value < 0) return '';
        let index = 0;
        let scaled = value;
        while (scaled >= 1024 && index < kUnitKeys.length - 1) {
            scaled /= 1024;
            ++index;
        }
        const digits = index === 0 ? 0 : 1;
        return numberFormat(digits).format(scaled) + kNoBreak + unitName(index);
    }

    function count(n) {
        const value = Number(n);
        return Number.isFinite(value) ? numberFormat(0).format(value) : '';
    }

    function percent(fraction) {
        const value = Number(fraction);
        if (!Number.isFinite(value)) return '';
        const key = language() + '/percent';
        if (!formatters.has(key)) {
            formatters.set(key, new Intl.NumberFormat(language(), {style: 'percent',
                                                                   maximumFractionDigits: 0}));
        }
        return formatters.get(key).format(value);
    }

    // Milliseconds since the epoch, "yyyy-MM-dd hh:mm" (the scanners' form) or "yyyyMMdd" (the
    // programs list); '' when the text is none of these.
    function toDate(value) {
        if (typeof value === 'number') return Number.isFinite(value) ? new Date(value) : null;
        const text = String(value || '').trim();
        let match = /^(\d{4})(\d{2})(\d{2})$/.exec(text);
        if (match) return new Date(Number(match[1]), Number(match[2]) - 1, Number(match[3]));
        match = /^(\d{4})-(\d{2})-(\d{2})(?:[ T](\d{2}):(\d{2}))?/.exec(text);
        if (!match) return null;
        return new Date(Number(match[1]), Number(match[2]) - 1, Number(match[3]),
                        Number(match[4] || 0), Number(match[5] || 0));
    }

    function date(value, withTime) {
        const parsed = toDate(value);
        if (!parsed || Number.isNaN(parsed.getTime())) return '';
        // Building the formatter costs far more than formatting: scrolling a long list formats
        // a date for every row that comes into view.
        const key = language() + '/date' + (withTime ? '+time' : '');
        if (!formatters.has(key)) {
            const options = {year: 'numeric', month: 'short', day: 'numeric'};
            if (withTime) Object.assign(options, {hour: '2-digit', minute: '2-digit'});
            formatters.set(key, new Intl.DateTimeFormat(language(), options));
        }
        return formatters.get(key).format(parsed);
    }

    // Seconds as m:ss (or h:mm:ss), for elapsed times.
    function elapsed(seconds) {
        const total = Math.max(0, Math.floor(Number(seconds) || 0));
        const pad = (n) => String(n).padStart(2, '0');
        const h = Math.floor(total / 3600);
        const m = Math.floor((total % 3600) / 60);
        const s = total % 60;
        return h > 0 ? h + ':' + pad(m) + ':' + pad(s) : m + ':' + pad(s);
    }

    // Keeps both ends of a path, where the drive and the file name are; whole code points.
    function middle(text, max) {
        const characters = Array.from(String(text === undefined || text === null ? '' : text));
        const limit = Math.max(3, Number(max) || 0);
        if (characters.length <= limit) return characters.join('');
        const head = Math.ceil((limit - 1) / 2);
        const tail = limit - 1 - head;
        return characters.slice(0, head).join('') + '\u2026' +
            characters.slice(characters.length - tail).join('');
    }

    window.Format = Object.freeze({size, count, percent, date, elapsed, middle, toDate});
})();
