// The tray icon's menu. The program shows this window at the cursor on a right click of the
// icon and hides it on a left click; the page hides it itself once an item is chosen or the
// user clicks elsewhere.
(function () {
    'use strict';

    const kWidth = 180;
    const kHeight = 90;
    const kShellChannel = 'pellanor-shell';
    const kOutsideClick = 'NATIVE_MENU_OUTSIDE_CLICK';

    const log = Logger.create('TrayMenu');
    const channel = typeof BroadcastChannel === 'function' ? new BroadcastChannel(kShellChannel) : null;

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

    function wireItems() {
        document.getElementById('open').addEventListener('click', () => {
            hideMenu();
            if (channel) channel.postMessage('open');
        });
        document.getElementById('quit').addEventListener('click', () => {
            log.info('quit chosen');
            hideMenu();
            Pellanor.callNative('NativeUtil', 'exitApp', [], undefined);
        });
        document.addEventListener(kOutsideClick, hideMenu);
        document.addEventListener('keydown', (event) => {
            if (event.keyCode === Pellanor.readNative('VirtualKey', 'ESC', 27)) hideMenu();
        });
        document.addEventListener('visibilitychange', () => {
            if (document.visibilityState === 'visible') armOutsideClick();
        });
        window.addEventListener('focus', armOutsideClick);
        // Clicks in other programs' windows may escape the hook; losing focus to them does not.
        window.addEventListener('blur', hideMenu);
    }

    Pellanor.onReady(() => {
        Pellanor.callNative('PageWindow', 'hideFromTaskBar', [], false);
        Pellanor.callNative('HostWindow', 'move', [0, 0, kWidth, kHeight], undefined);
        wireItems();
        log.info('tray menu ready');
    });
})();
