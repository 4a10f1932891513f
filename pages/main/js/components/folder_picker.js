// Opens the folder picker page and resolves with the folders chosen there ([] when cancelled
// or closed). One picker at a time: a second request while one is open waits for the same answer.
(function () {
    'use strict';

    const kPage = 'this://app/app/pick.html';
    const kChannel = 'pellanor-pick';
    let pending = null;

    function open() {
        if (pending) return pending;
        if (typeof BroadcastChannel !== 'function' || !Pellanor.hasMethod('WindowUtil', 'createWindow')) {
            return Promise.resolve([]);
        }
        pending = new Promise((resolve) => {
            const channel = new BroadcastChannel(kChannel);
            channel.onmessage = (event) => {
                const message = event.data || {};
                if (message.type !== 'picked' && message.type !== 'cancelled') return;
                channel.close();
                pending = null;
                resolve(Array.isArray(message.folders) ? message.folders : []);
            };
            const handle = Pellanor.callNative('WindowUtil', 'createWindow', [kPage, 0, true], 0);
            if (!handle) {
                channel.close();
                pending = null;
                resolve([]);
            }
        });
        return pending;
    }

    window.FolderPicker = Object.freeze({open});
})();
