// Page windows that should exist once. WindowUtil opens a second window for a page that is
// already open, so a page that wants to stay single answers a knock on the "pellanor-windows"
// channel: the opener asks {type: "focus", page}, the open page brings itself forward and says
// {type: "here", page}. Only when nobody answers is a window made, and only for a page that
// exists: a window for a missing page never shows itself, and the user would see nothing.
(function () {
    'use strict';

    const kChannel = 'pellanor-windows';
    const kAnswerMs = 300;
    // A new window takes a moment to load before it can answer; a second click meanwhile must
    // not make a second window.
    const kLoadingMs = 5000;

    const log = Logger.create('PageWindows');
    const channel = typeof BroadcastChannel === 'function' ? new BroadcastChannel(kChannel) : null;
    const waiting = new Map();
    const loadingUntil = new Map();

    if (channel) {
        channel.addEventListener('message', (event) => {
            const message = event.data || {};
            if (message.type !== 'here' && message.type !== 'opened') return;
            loadingUntil.delete(message.page);
            const resolve = waiting.get(message.page);
            if (resolve) resolve(true);
        });
    }

    function knock(page) {
        if (!channel || !page) return Promise.resolve(false);
        return new Promise((resolve) => {
            const timer = setTimeout(() => finish(false), kAnswerMs);
            function finish(found) {
                clearTimeout(timer);
                waiting.delete(page);
                resolve(found);
            }
            waiting.set(page, finish);
            channel.postMessage({type: 'focus', page});
        });
    }

    // Whether the engine can serve `url`; a page outside the program cannot tell, and tries.
    function exists(url) {
        if (typeof XMLHttpRequest !== 'function') return Promise.resolve(true);
        return new Promise((resolve) => {
            const request = new XMLHttpRequest();
            request.onload = () => resolve(request.status === 0 || (request.status >= 200 && request.status < 300));
            request.onerror = () => resolve(false);
            try {
                request.open('GET', url);
                request.send();
            } catch (error) {
                resolve(false);
            }
        });
    }

    const opening = new Map();

    // Resolves true when the page is open (found or made), false when no window could be made.
    function open(url, page) {
        if (typeof url !== 'string' || url === '') return Promise.resolve(false);
        if (opening.has(page)) return opening.get(page);
        const attempt = (async () => {
            if (await knock(page)) {
                log.info(page + ' brought forward');
                return true;
            }
            if ((loadingUntil.get(page) || 0) > Date.now()) return true;
            if (!(await exists(url))) {
                log.warn('no page at ' + url);
                return false;
            }
            const handle = Pellanor.callNative('WindowUtil', 'createWindow', [url, 0, true], 0);
            if (!handle) {
                log.warn('no window for ' + url);
                return false;
            }
            loadingUntil.set(page, Date.now() + kLoadingMs);
            return true;
        })();
        const settled = attempt.finally(() => opening.delete(page));
        opening.set(page, settled);
        return settled;
    }

    // The open page's side: says it is there, and answers each knock by coming forward.
    function single(page, bringForward) {
        if (!channel) return;
        channel.addEventListener('message', (event) => {
            const message = event.data || {};
            if (message.type !== 'focus' || message.page !== page) return;
            bringForward();
            channel.postMessage({type: 'here', page});
        });
        channel.postMessage({type: 'opened', page});
    }

    window.PageWindows = Object.freeze({open, single, exists});
})();
