// The tray icon's menu. The program shows this window at the cursor on a right click of the
// icon; the page hides itself once an item is chosen, on Esc, or when the user clicks elsewhere.
// It never starts destructive work: Clean junk only opens the Junk section and measures.
(function () {
    'use strict';

    const kWidth = 220;
    const kShellChannel = 'pellanor-shell';
    const kOutsideClick = 'NATIVE_MENU_OUTSIDE_CLICK';

    const log = Logger.create('TrayMenu');
    const channel = typeof BroadcastChannel === 'function' ? new BroadcastChannel(kShellChannel) : null;

    function items() {
        return Array.from(document.querySelectorAll('.tray-item'));
    }

    function hideMenu() {
        Pellanor.callNative('NativeUtil', 'disableMenuOutsideClickClose', [], true);
        Pellanor.callNative('HostWindow', 'hide', [], undefined);
    }

    // Armed each time the menu shows, with where it is now.
    function armOutsideClick() {
        const frame = Pellanor.callNative('HostWindow', 'geometry', [], null);
        if (!frame) return;
        Pellanor.callNative('NativeUtil', 'enableMenuOutsideClickClose',
                            [frame.x, frame.y, frame.width, frame.height], false);
    }

    // The main page polls the shared value while it is hidden when pages cannot broadcast.
    function send(command) {
        log.info('chosen: ' + command);
        if (channel) {
            channel.postMessage({command});
        } else if (command === 'exit') {
            Pellanor.callNative('NativeUtil', 'exitApp', [], undefined);
        } else {
            Pellanor.callNative('NativeUtil', 'setSharedMemoryValue', ['trayCommand', command], false);
        }
    }

    function wire() {
        for (const item of items()) {
            item.prepend(Icons.svg(item.dataset.icon, 16));
            item.addEventListener('click', () => {
                hideMenu();
                send(item.dataset.command);
            });
        }
        document.addEventListener(kOutsideClick, hideMenu);
        document.addEventListener('keydown', (event) => {
            const list = items();
            const index = list.indexOf(document.activeElement);
            if (event.key === 'Escape') hideMenu();
            const moves = {ArrowDown: index + 1, ArrowUp: index - 1, Home: 0, End: list.length - 1};
            if (event.key in moves) {
                event.preventDefault();
                list[(moves[event.key] + list.length) % list.length].focus();
            }
        });
        document.addEventListener('visibilitychange', () => {
            if (document.visibilityState !== 'visible') return;
            armOutsideClick();
            PageChrome.checkLanguage();
        });
        window.addEventListener('focus', armOutsideClick);
        // Clicks in other programs' windows may escape the hook; losing focus to them does not.
        window.addEventListener('blur', hideMenu);
    }

    Pellanor.onReady(async () => {
        Pellanor.callNative('PageWindow', 'hideFromTaskBar', [], false);
        wire();
        // The menu has no title bar to drag or close; it only follows the language.
        await PageChrome.followLanguage();
        // The program places the menu by its current size, so the size is set once, now.
        // The body fills the window, so the menu's own bottom edge is the height to ask for.
        const height = Math.ceil(document.getElementById('menu').getBoundingClientRect().bottom) + 6;
        Pellanor.callNative('HostWindow', 'move', [0, 0, kWidth, height], undefined);
        Pellanor.callNative('NativeUtil', 'setTrayIcon', [], false);
        log.info('tray menu ready');
    });
})();
