// A stand-in for the main page until the real one arrives: it sets up what the program's shell
// expects of the main page (the tray window and icon, the ready signal) and says plainly that
// the real page is still to come.
(function () {
    'use strict';

    const kTrayPage = 'this://app/main/tray.html';
    const kWidth = 720;
    const kHeight = 460;
    // The tray menu reaches us here: pages cannot call one another through the program.
    const kShellChannel = 'pellanor-shell';

    const log = Logger.create('MainPage');
    const element = (id) => document.getElementById(id);

    function centre() {
        const area = Pellanor.callNative('HostWindow', 'workArea', [], null);
        if (!area || !(area.width > 0) || !(area.height > 0)) return;
        const width = Math.min(kWidth, area.width);
        const height = Math.min(kHeight, area.height);
        Pellanor.callNative('HostWindow', 'move', [area.x + Math.round((area.width - width) / 2),
            area.y + Math.round((area.height - height) / 2), width, height], undefined);
    }

    function showWindow() {
        Pellanor.callNative('HostWindow', 'restore', [], undefined);
        Pellanor.callNative('HostWindow', 'show', [], undefined);
    }

    function wireWindowControls() {
        element('close').addEventListener('click', () => {
            Pellanor.callNative('HostWindow', 'close', [], undefined);
        });
        element('minimize').addEventListener('click', () => {
            Pellanor.callNative('HostWindow', 'minimize', [], undefined);
        });
        element('title-bar').addEventListener('mousedown', (event) => {
            if (event.button !== 0 || event.target.closest('button')) return;
            Pellanor.callNative('HostWindow', 'startMove', [], false);
        });
        if (typeof BroadcastChannel === 'function') {
            new BroadcastChannel(kShellChannel).onmessage = (event) => {
                if (event.data === 'open') showWindow();
            };
        }
    }

    // The tray page is the tray icon's owner and its menu; it stays hidden until the icon is
    // right-clicked.
    function openTray() {
        const handle = Pellanor.callNative('WindowUtil', 'createWindow', [kTrayPage, 0, false], 0);
        if (!handle) {
            log.warn('no tray window');
            return;
        }
        const shown = Pellanor.callNative('NativeUtil', 'setTrayIcon', [], false);
        log.info('tray window ' + handle + ', tray icon ' + (shown ? 'shown' : 'not shown'));
    }

    function start() {
        const version = Pellanor.productVersion();
        element('version').textContent = version ? 'Version ' + version : '';
        document.title = 'Pellanor';
        Pellanor.callNative('PageWindow', 'setTitle', ['Pellanor'], undefined);
        centre();
        wireWindowControls();
        openTray();
        if (Pellanor.readNative('PageWindow', 'showOnLoaded', false) === true) showWindow();
        const ready = Pellanor.callNative('NativeUtil', 'signalMainWindowReady', [], false);
        log.info('main page ready' + (ready === true ? '' : ' (not signalled)'));
    }

    Pellanor.onReady(start);
})();
