// Guarded calls into the program. A page may run against an older program, or outside it, so a
// missing method or a failing call is logged once and answered with a failure value instead of
// an exception that would stop the section.
(function () {
    'use strict';

    const log = Logger.create('Native');
    const reported = new Set();

    function once(message) {
        if (reported.has(message)) return;
        reported.add(message);
        log.warn(message);
    }

    function has(name) {
        return Pellanor.hasMethod('NativeUtil', name);
    }

    // NativeUtil[name](...args), or undefined when the method is missing or throws.
    function call(name, ...args) {
        if (!has(name)) {
            once('no NativeUtil.' + name + ' in this program');
            return undefined;
        }
        try {
            return NativeUtil[name](...args);
        } catch (error) {
            log.error('NativeUtil.' + name + ' failed:', error);
            return undefined;
        }
    }

    // A method that answers JSON text: the parsed value, or null.
    function json(name, ...args) {
        const text = call(name, ...args);
        if (typeof text !== 'string' || text === '') return null;
        try {
            return JSON.parse(text);
        } catch (error) {
            once('NativeUtil.' + name + ' answered text that is not JSON');
            return null;
        }
    }

    function read(property, fallback) {
        return Pellanor.readNative('NativeUtil', property, fallback);
    }

    // HostWindow[method](...args): the page's own frameless window.
    function window_(method, ...args) {
        return Pellanor.callNative('HostWindow', method, args, undefined);
    }

    window.Native = Object.freeze({has, call, json, read, window: window_});
})();
