// Opens the updater window, or brings the open one to the front: a second window would check
// and download a second time. The updater answers on the "pellanor-updater" channel.
(function () {
    'use strict';

    const kChannel = 'pellanor-updater';
    const kFallbackPath = 'this://app/upgrader/upgrader.html';
    // A loaded updater answers at once; one that is still loading may miss the question and a
    // second window opens, which is the lesser harm than none.
    const kAnswerMs = 300;

    const log = Logger.create('UpdaterWindow');
    let pending = null;

    function create() {
        const path = Pellanor.readNative('NativeUtil', 'updateWindowPath', '') || kFallbackPath;
        const handle = Pellanor.callNative('WindowUtil', 'createWindow', [path, 0, true], 0);
        log.info(handle ? 'updater window ' + handle : 'no updater window');
        return Boolean(handle);
    }

    // Resolves true when an updater window is open (found or created).
    function open() {
        if (pending) return pending;
        if (typeof BroadcastChannel !== 'function') return Promise.resolve(create());
        pending = new Promise((resolve) => {
            const channel = new BroadcastChannel(kChannel);
            let answered = false;
            channel.onmessage = (event) => {
                if (event.data && event.data.type === 'here') answered = true;
            };
            channel.postMessage({type: 'raise'});
            setTimeout(() => {
                channel.close();
                pending = null;
                resolve(answered || create());
            }, kAnswerMs);
        });
        return pending;
    }

    window.UpdaterWindow = Object.freeze({open});
})();
