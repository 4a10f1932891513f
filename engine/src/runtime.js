// Page runtime: injected into every page before its own scripts. It defines the native objects
// from their passports and carries calls to native code as synchronous same-origin requests.
(function (config) {
    'use strict';
    // Only the program's own pages see native objects: a window may be sent to a file or a web
    // page, whose scripts must find nothing to call (the call handler refuses them as well).
    if (location.protocol !== 'this:' || location.hostname !== 'app') return;
    const callUrl = 'this://app/$engine/call';
    const textUrl = 'this://app/$engine/text';
    const answerUrl = 'this://app/$engine/answer';
    const maxQuery = 2 * 1024 * 1024 - 1024;
    const documentId = Array.from(crypto.getRandomValues(new Uint32Array(2))).join('-');
    const callbacks = new Map();
    let nextCallback = 1;

    // Transport form: JSON, with tagged objects for what JSON cannot say.
    function encode(value) {
        switch (typeof value) {
            case 'undefined': return {u: 0};
            case 'boolean': case 'string': return value;
            case 'number': return Number.isFinite(value) ? value : null;
            case 'function': {
                const id = nextCallback++;
                callbacks.set(id, value);
                return {f: id, d: documentId};
            }
            case 'object':
                if (value === null) return null;
                if (Array.isArray(value)) return value.map(encode);
                if (value instanceof Error) return {e: String(value.message)};
                return {m: Object.keys(value).map((key) => [key, encode(value[key])])};
            default: return {u: 0};
        }
    }

    // Ids of the kept texts inside a call's arguments.
    function keptIn(value, ids) {
        if (value === null || typeof value !== 'object') return ids;
        if (Array.isArray(value)) {
            for (const item of value) keptIn(item, ids);
        } else if ('m' in value) {
            for (const [, item] of value.m) keptIn(item, ids);
        } else if ('t' in value) {
            ids.push(value.t);
        }
        return ids;
    }

    // `texts`: the kept texts a call took already, by id.
    function decode(value, texts) {
        if (value === null || typeof value !== 'object') return value;
        if (Array.isArray(value)) return value.map((item) => decode(item, texts));
        if ('m' in value) {
            const object = {};
            // Defined, not assigned: a key such as __proto__ stays an ordinary member.
            for (const [key, item] of value.m) {
                Object.defineProperty(object, key, {
                    value: decode(item, texts), enumerable: true, writable: true, configurable: true,
                });
            }
            return object;
        }
        if ('y' in value) return value.y;
        // A long text kept natively, taken by invokeLater before the function runs.
        if ('t' in value) return texts ? texts.get(value.t) : undefined;
        if ('e' in value) return new Error(value.e);
        if ('f' in value) return value.d === documentId ? callbacks.get(value.f) : undefined;
        return undefined;
    }

    function call(target, member, kind, args) {
        const fields = {
            w: String(config.window), d: documentId, o: target, m: member, k: kind,
            a: JSON.stringify(Array.from(args, encode)),
        };
        const query = Object.keys(fields)
            .map((key) => key + '=' + encodeURIComponent(fields[key])).join('&');
        // Chromium refuses longer URLs with an error that quotes the whole URL.
        if (query.length > maxQuery) {
            throw new Error('the arguments of ' + target + '.' + member + ' are too large (' +
                            query.length + ' characters as sent, at most ' + maxQuery + ')');
        }
        const request = new XMLHttpRequest();
        request.open('GET', callUrl + '?' + query, false);
        request.send();
        if (!request.responseText) throw new Error('native call failed: ' + target + '.' + member);
        const reply = JSON.parse(request.responseText);
        if ('x' in reply) throw new Error(reply.x);
        const result = decode(reply.v);
        if (result instanceof Error) throw result;
        return result;
    }

    function makeObject(passport) {
        const object = {};
        for (const [name] of passport.methods) {
            object[name] = function (...args) { return call(passport.target, name, 'call', args); };
        }
        for (const name of passport.properties) {
            Object.defineProperty(object, name, {
                get: () => call(passport.target, name, 'get', []), enumerable: true,
            });
        }
        return Object.freeze(object);
    }

    function define(name, value) {
        Object.defineProperty(window, name, {value: value, enumerable: false});
    }

    for (const passport of config.objects) define(passport.name, makeObject(passport));
    if (config.windowObject) define('PageWindow', makeObject(config.windowObject));
    define('HostWindow', makeObject(config.hostWindow));

    function run(fn, args, texts) {
        try {
            return JSON.stringify({v: encode(fn(...args.map((item) => decode(item, texts))))});
        } catch (error) {
            return JSON.stringify({e: String(error && error.message !== undefined ? error.message : error)});
        }
    }

    // Calls whose function runs once their kept texts have arrived: token -> the answer, null
    // until then.
    const later = new Map();

    define('__engine', Object.freeze({
        invoke(documentOfCall, id, args) {
            const fn = documentOfCall === documentId ? callbacks.get(id) : undefined;
            if (!fn) return JSON.stringify({e: 'the page of this function is gone'});
            return run(fn, args);
        },
        // Takes the call's kept texts without blocking the page (megabytes arrive in many
        // small tasks instead of one), then runs the function and tells the engine, which
        // collects the answer. Returns {"later":1}, or the answer when the function is gone.
        invokeLater(documentOfCall, id, args, token) {
            const fn = documentOfCall === documentId ? callbacks.get(id) : undefined;
            if (!fn) return JSON.stringify({e: 'the page of this function is gone'});
            later.set(token, null);
            const ids = keptIn(args, []);
            const texts = new Map();
            let left = ids.length;
            let failed = false;
            const arrived = () => {
                if (--left > 0) return;
                later.set(token, failed ? JSON.stringify({e: 'a text of this call is gone'}) :
                    run(fn, args, texts));
                const request = new XMLHttpRequest();
                request.open('GET', answerUrl + '?token=' + encodeURIComponent(token), false);
                try {
                    request.send();
                } catch (error) {
                    // The engine's watch finds the answer or the page gone.
                }
            };
            try {
                for (const text of ids) {
                    const request = new XMLHttpRequest();
                    request.open('GET', textUrl + '?id=' + encodeURIComponent(text));
                    request.overrideMimeType('text/plain; charset=utf-8');
                    request.onload = () => {
                        if (request.status === 200) texts.set(text, request.responseText);
                        else failed = true;
                        arrived();
                    };
                    request.onerror = () => {
                        failed = true;
                        arrived();
                    };
                    request.send();
                }
            } catch (error) {
                later.delete(token);
                return JSON.stringify({e: 'a text of this call is gone'});
            }
            return '{"later":1}';
        },
        collect(token) {
            const answer = later.get(token);
            later.delete(token);
            return answer || JSON.stringify({e: 'the page of this function is gone'});
        },
        alive(token) {
            return later.has(token);
        },
        release(documentOfCall, id) {
            if (documentOfCall === documentId) callbacks.delete(id);
        },
        fire(name) {
            document.dispatchEvent(new CustomEvent(name, {bubbles: true}));
        },
    }));
})(/*CONFIG*/);
