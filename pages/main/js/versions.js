// Versions as the update service names them, read the way a user reads them: "1.10.0" is newer
// than "1.9.2" and "v1.4" equals "1.4.0". Shared by the main page's update check and the version
// history page; the service's answers are its own business, so the readers here are lenient
// about envelopes and field names and strict only about what they show.
(function () {
    'use strict';

    const kErrorKeys = {'network disconnected': 'error.network', 'server unreachable': 'error.server',
                        'request timeout': 'error.timeout'};
    const kVersionFields = ['version', 'latest_version', 'versionName'];
    const kDateFields = ['date', 'release_date', 'releaseDate', 'published_at', 'publishedAt'];
    const kNotesFields = ['notes', 'changelog', 'changes', 'description', 'content'];
    const kListFields = ['versions', 'list', 'items'];

    // The numeric parts, or null when the text holds no number at all.
    function parts(text) {
        if (typeof text !== 'string' && typeof text !== 'number') return null;
        const trimmed = String(text).trim().replace(/^[^\d]*/, '');
        if (!/^\d/.test(trimmed)) return null;
        return trimmed.split('.').map((p) => parseInt(p, 10) || 0);
    }

    // < 0 when a is older than b, 0 when equal, > 0 when newer; texts without a number sort last.
    function compare(a, b) {
        const x = parts(a);
        const y = parts(b);
        if (!x || !y) return x ? 1 : y ? -1 : 0;
        for (let i = 0; i < Math.max(x.length, y.length); ++i) {
            const d = (x[i] || 0) - (y[i] || 0);
            if (d !== 0) return d;
        }
        return 0;
    }

    function newer(candidate, current) {
        return parts(candidate) !== null && compare(candidate, current) > 0;
    }

    function same(a, b) {
        return parts(a) !== null && parts(b) !== null && compare(a, b) === 0;
    }

    function isObject(value) {
        return value !== null && typeof value === 'object' && !Array.isArray(value);
    }

    function firstText(holder, fields) {
        for (const name of fields) {
            const value = holder[name];
            if (typeof value === 'string' && value.trim() !== '') return value.trim();
            if (typeof value === 'number' && Number.isFinite(value)) return String(value);
        }
        return '';
    }

    // The object of a latest-version answer that names the offered version: the answer itself or
    // its "data" envelope; null when neither does. Its other fields (address, digest, notes)
    // belong to that version, so readers take them from here too.
    function offer(answer) {
        for (const holder of [answer, answer && answer.data]) {
            if (!isObject(holder)) continue;
            if (parts(firstText(holder, kVersionFields)) !== null) return holder;
        }
        return null;
    }

    // The version offered in a latest-version answer; '' when there is none (a failure, not
    // "up to date").
    function offered(answer) {
        const holder = offer(answer);
        return holder ? firstText(holder, kVersionFields) : '';
    }

    // The language-table key of the sentence for a failed answer; '' when it is no failure.
    // The program's own error texts name hosts and its HTTP library's wording: never shown.
    function errorKey(answer) {
        if (!isObject(answer) && !Array.isArray(answer)) return 'error.generic';
        if (isObject(answer) && answer.error !== undefined) return kErrorKeys[answer.error] || 'error.service';
        return '';
    }

    // The lines of what is new, without the bullets the service may write: the pages draw their own.
    function notesOf(holder) {
        if (!isObject(holder)) return [];
        const clean = (lines) => lines.filter((line) => typeof line === 'string')
            .map((line) => line.replace(/^\s*[-*\u2022]\s*/, '').trim()).filter((line) => line !== '');
        for (const name of kNotesFields) {
            const value = holder[name];
            if (Array.isArray(value)) return clean(value);
            if (typeof value === 'string' && value.trim() !== '') return clean(value.split(/\r?\n/));
        }
        return [];
    }

    function entriesOf(answer) {
        if (Array.isArray(answer)) return answer;
        for (const holder of [answer, answer && answer.data]) {
            if (Array.isArray(holder)) return holder;
            if (!isObject(holder)) continue;
            for (const name of kListFields) {
                if (Array.isArray(holder[name])) return holder[name];
            }
        }
        return null;
    }

    // A version-list answer as [{version, date, notes: [lines]}], newest first by number; null
    // when the answer holds no list. Entries without a version are left out, one entry per version.
    function list(answer) {
        const entries = entriesOf(answer);
        if (!entries) return null;
        const seen = new Set();
        const result = [];
        for (const entry of entries) {
            if (!isObject(entry)) continue;
            const version = firstText(entry, kVersionFields);
            const key = parts(version);
            if (key === null) continue;
            while (key.length > 1 && key[key.length - 1] === 0) key.pop();
            if (seen.has(key.join('.'))) continue;
            seen.add(key.join('.'));
            result.push({version, date: firstText(entry, kDateFields), notes: notesOf(entry)});
        }
        return result.sort((a, b) => compare(b.version, a.version));
    }

    window.Versions = Object.freeze({compare, newer, same, offer, offered, errorKey, notes: notesOf, list});
})();
