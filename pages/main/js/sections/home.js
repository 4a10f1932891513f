// Home: how full the system drive is, the other fixed drives, the last clean, and a way into
// every other section. Drive facts are read once per visit; they are cheap calls.
(function () {
    'use strict';

    const S = (key, ...args) => MainStrings.t(key, ...args);
    const el = (...args) => App.el(...args);
    // The drive methods answer 1 byte when the system query failed.
    const kFailedQuery = 1;
    const kLowFreeFraction = 0.1;
    const kLastClean = 'lastClean';

    function readDrive(free, total) {
        const ok = Number.isFinite(free) && Number.isFinite(total) && total > kFailedQuery &&
                   free !== kFailedQuery && free <= total;
        return ok ? {free, total, used: total - free} : null;
    }

    function gauge(drive, titleText) {
        const used = drive ? drive.used / drive.total : 0;
        const bar = el('div', {className: 'gauge' + (drive && drive.free / drive.total < kLowFreeFraction ? ' low' : ''),
                               attrs: {role: 'progressbar', 'aria-valuemin': '0', 'aria-valuemax': '100',
                                       'aria-valuenow': drive ? String(Math.round(used * 100)) : null,
                                       'aria-label': titleText}},
                       [el('div', {className: 'gauge-used'})]);
        bar.firstChild.style.transform = 'scaleX(' + used + ')';
        const labels = el('div', {className: 'gauge-labels'}, drive ?
            [el('span', {text: S('home.used', Format.size(drive.used))}),
             el('span', {text: S('home.free', Format.size(drive.free), Format.size(drive.total))})] :
            [el('span', {text: S('home.unavailable')})]);
        return [bar, labels];
    }

    function lastCleanText() {
        const stored = Native.json('getSetting', kLastClean, '');
        if (!stored || !Number.isFinite(stored.time)) return S('home.notScanned');
        return S('home.lastClean', Format.date(stored.time, true), Format.size(stored.freed || 0));
    }

    function create(container) {
        const frame = App.sectionFrame(container, 'home.title', 'home.desc');
        frame.bar.hidden = true;
        const scan = App.button('home.scanJunk', 'primary', () => {
            const junk = App.show('junk');
            if (junk && typeof junk.api.startScan === 'function') junk.api.startScan();
        });
        frame.tools.appendChild(scan);
        let facts = null;

        // The update banner comes and goes on its own, so a focused tile keeps its focus.
        function placeBanner() {
            const old = frame.body.querySelector('#home-update');
            const update = window.UpdateCheck ? UpdateCheck.banner() : null;
            if (old && update) old.replaceWith(update);
            else if (old) old.remove();
            else if (update) frame.body.prepend(update);
        }
        if (window.UpdateCheck) UpdateCheck.subscribe(() => facts && placeBanner());

        function render() {
            const body = frame.body;
            body.textContent = '';
            placeBanner();
            const system = facts.system;
            const hero = el('div', {className: 'hero'}, [
                el('div', {}, [el('div', {className: 'gauge-title', text: S('home.systemDrive')}),
                               ...gauge(system, S('home.systemDrive'))]),
                el('div', {className: 'hero-side'}, [
                    el('div', {className: 'caption', i18n: 'home.lastCleanTitle'}),
                    el('div', {className: 'num', text: lastCleanText()}),
                ]),
            ]);
            body.appendChild(hero);
            if (facts.drives.length > 0) {
                body.appendChild(el('h2', {className: 'subsection-title', i18n: 'home.otherDrives'}));
                body.appendChild(el('div', {className: 'drives'}, facts.drives.map((d) =>
                    el('div', {className: 'drive'}, [
                        el('div', {className: 'gauge-title', text: d.drive}),
                        ...gauge(readDrive(d.freeSpace, d.totalSpace), d.drive),
                    ]))));
            }
            body.appendChild(el('h2', {className: 'subsection-title', i18n: 'home.tools'}));
            const tiles = el('div', {className: 'tiles'});
            for (const section of App.sections()) {
                if (section.id === 'home') continue;
                const tile = el('button', {className: 'tile', attrs: {type: 'button', 'data-tile': section.id}}, [
                    Icons.svg(section.icon || section.id, 20),
                    el('span', {}, [el('span', {className: 'tile-name', i18n: section.navKey}), el('br'),
                                    el('span', {className: 'tile-desc', i18n: 'home.tile.' + section.id})]),
                ]);
                tile.addEventListener('click', () => App.show(section.id));
                tiles.appendChild(tile);
            }
            body.appendChild(tiles);
        }

        function measure() {
            const list = Native.json('getLogicalDrives');
            facts = {
                system: readDrive(Native.call('getSystemDriveFreeBits'), Native.call('getSystemDriveTotalBits')),
                drives: list && Array.isArray(list.list) ? list.list.filter((d) => !d.isRemovable) : [],
            };
        }

        return {
            show() {
                measure();
                render();
            },
            onLanguageChanged() {
                if (facts) render();
            },
            onRefresh() {
                measure();
                render();
            },
            fixture() {
                facts = {system: {free: 38.2 * 2 ** 30, total: 237.9 * 2 ** 30, used: 199.7 * 2 ** 30},
                         drives: [{drive: 'D:', freeSpace: 412 * 2 ** 30, totalSpace: 931.5 * 2 ** 30}]};
                render();
            },
        };
    }

    App.registerSection({id: 'home', order: 10, navKey: 'nav.home', icon: 'home', create});
})();
