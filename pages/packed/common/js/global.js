// Shared helpers of all pages. The native objects (NativeUtil, WindowUtil, VirtualKey,
// PageWindow, HostWindow) are absent when a page is opened outside the program, and a page may
// be older or newer than the program, so every native access goes through these guards.
(function () {
    'use strict';

    function nativeObject(name) {
        const object = window[name];
        return object !== null && typeof object === 'object' ? object : null;
    }

    function hasMethod(objectName, method) {
        const object = nativeObject(objectName);
        return object !== null && typeof object[method] === 'function';
    }

    // Calls objectName.method(...args); answers `fallback` when the method is missing or the
    // call throws (a failed native call surfaces as a script error).
    function callNative(objectName, method, args, fallback) {
        if (!hasMethod(objectName, method)) return fallback;
        try {
            return window[objectName][method](...(args || []));
        } catch (error) {
            return fallback;
        }
    }

    // Reads a native property; `fallback` when the object or property is missing or reading fails.
    function readNative(objectName, property, fallback) {
        const object = nativeObject(objectName);
        if (object === null || !(property in object)) return fallback;
        try {
            const value = object[property];
            return value === undefined ? fallback : value;
        } catch (error) {
            return fallback;
        }
    }

    // The program's command line as a list of texts (empty outside the program).
    function commandLine() {
        const list = callNative('HostWindow', 'arguments', [], null);
        return Array.isArray(list) ? list.map(String) : [];
    }

    function onReady(callback) {
        if (document.readyState === 'loading') {
            document.addEventListener('DOMContentLoaded', callback, {once: true});
        } else {
            callback();
        }
    }

    function delay(milliseconds) {
        return new Promise((resolve) => setTimeout(resolve, milliseconds));
    }

    // Adds a classic script after the current ones; resolves when it ran, rejects when it could
    // not be loaded.
    function loadScript(url) {
        return new Promise((resolve, reject) => {
            const script = document.createElement('script');
            script.src = url;
            // The archive serves scripts without a charset; ours are UTF-8 whatever the page says.
            script.charset = 'utf-8';
            script.async = false;
            script.onload = () => resolve(url);
            script.onerror = () => {
                script.remove();
                reject(new Error('cannot load ' + url));
            };
            (document.head || document.documentElement).appendChild(script);
        });
    }

    function productVersion() {
        const version = readNative('NativeUtil', 'nativeVersion', '');
        if (typeof version === 'string' && version !== '') return version;
        return window.BrandConfig ? window.BrandConfig.version : '';
    }

    window.Pellanor = Object.freeze({
        nativeObject,
        hasMethod,
        callNative,
        readNative,
        commandLine,
        onReady,
        delay,
        loadScript,
        productVersion,
    });
})();
