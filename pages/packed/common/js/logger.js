// Page logging into the program's log file through NativeUtil.log(message, tag). Outside the
// program, or when the native call fails, lines go to the console instead. Logging never throws:
// a page must not break because a diagnostic line could not be written.
(function () {
    'use strict';

    const kLevels = {debug: 10, info: 20, warn: 30, error: 40};
    const kDefaultTag = 'Page';
    let threshold = kLevels.info;

    function describe(value) {
        if (typeof value === 'string') return value;
        if (value instanceof Error) return value.stack || String(value.message);
        try {
            const json = JSON.stringify(value);
            return json === undefined ? String(value) : json;
        } catch (error) {
            return String(value);  // a cyclic object
        }
    }

    function toConsole(level, tag, message) {
        try {
            const line = '[' + tag + '] ' + message;
            const sinks = {error: console.error, warn: console.warn};
            (sinks[level] || console.log).call(console, line);
        } catch (error) {
            // Nowhere left to write to.
        }
    }

    function write(level, tag, parts) {
        try {
            if (kLevels[level] < threshold) return;
            const body = parts.map(describe).join(' ');
            // Every native line is info; the level travels in the text for lines that need it.
            const message = level === 'info' ? body : level.toUpperCase() + ': ' + body;
            const native = window.NativeUtil;
            if (native && typeof native.log === 'function') {
                try {
                    native.log(message, tag);
                    return;
                } catch (error) {
                    // The bridge failed; keep the line on the console.
                }
            }
            toConsole(level, tag, message);
        } catch (error) {
            // describe() or the threshold check met something odd; drop the line.
        }
    }

    function create(tag) {
        const name = typeof tag === 'string' && tag !== '' ? tag : kDefaultTag;
        return Object.freeze({
            tag: name,
            debug: (...parts) => write('debug', name, parts),
            info: (...parts) => write('info', name, parts),
            warn: (...parts) => write('warn', name, parts),
            error: (...parts) => write('error', name, parts),
        });
    }

    // setLevel('debug') lets debug lines through; unknown names are ignored and answer false.
    function setLevel(level) {
        if (!Object.prototype.hasOwnProperty.call(kLevels, level)) return false;
        threshold = kLevels[level];
        return true;
    }

    function level() {
        return Object.keys(kLevels).find((name) => kLevels[name] === threshold);
    }

    // A debug build of the program wants the pages' debug lines too.
    try {
        if (window.NativeUtil && window.NativeUtil.isDebug === true) threshold = kLevels.debug;
    } catch (error) {
        // The property is missing or failed to read: keep the default.
    }

    window.Logger = Object.freeze({create, setLevel, level});
})();
