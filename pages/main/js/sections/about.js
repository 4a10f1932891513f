// About & feedback: the version and updates, facts about this PC for support, the support id,
// a feedback form whose draft survives a failed send, and the product's web pages with a QR
// code a phone can open. The online methods may be missing from an older program; each part
// then says so instead of failing.
(function () {
    'use strict';

    const S = (key, ...args) => MainStrings.t(key, ...args);
    const el = (...args) => App.el(...args);
    const log = Logger.create('AboutSection');
    const kLinkOrder = ['feedback', 'support', 'website', 'privacy'];

    // The line under Check for updates, read the way the automatic check and the version history
    // read the same answer. A transport or HTTP error text from the program is never shown as it
    // is: it names URLs and Qt's wording, which mean nothing to a user.
    function updateVerdict(answer, current) {
        const failure = Versions.errorKey(answer);
        if (failure) return {key: failure, args: [], failed: true};
        const version = Versions.offered(answer);
        if (!version) return {key: 'error.generic', args: [], failed: true};
        if (Versions.newer(version, current)) return {key: 'about.available', args: [version], failed: false};
        return {key: 'about.upToDate', args: [], failed: false};
    }

    // The product's own pages, in the order they are offered. Only https addresses: openUrl
    // hands its text to the system, which would open anything else it is given.
    function brandLinks() {
        const links = (window.BrandConfig && BrandConfig.links) || {};
        const found = [];
        for (const name of kLinkOrder) {
            const value = typeof links[name] === 'string' ? links[name].trim() : '';
            try {
                if (value !== '' && new URL(value).protocol === 'https:') found.push({name, url: value});
            } catch (error) {
                log.warn('brand link ' + name + ' is not an address');
            }
        }
        return found;
    }

    function card(titleKey, children) {
        return el('section', {className: 'card'}, [el('h2', {className: 'card-title', i18n: titleKey}), ...children]);
    }

    // Read once: the answers do not change while the program runs. Formatted per render, so a
    // language switch reaches the units and the words too.
    function readFacts() {
        return {os: Native.call('OS'), bits: Native.call('is64BitOS'), cpu: Native.call('cpuArchitecture'),
                kernel: Native.call('kernelVersion'), memory: Native.call('getMemeryBits')};
    }

    function facts(raw) {
        return [
            ['about.os', raw.os],
            ['about.type', raw.bits === true ? S('about.bits64') : raw.bits === false ? S('about.bits32') : ''],
            ['about.cpu', raw.cpu],
            ['about.kernel', raw.kernel],
            ['about.memory', typeof raw.memory === 'number' && raw.memory > 1 ? Format.size(raw.memory) : ''],
        ].filter(([, value]) => typeof value === 'string' && value !== '');
    }

    function create(container) {
        const frame = App.sectionFrame(container, 'about.title', 'about.desc');
        frame.bar.hidden = true;
        const draft = {text: '', contact: ''};
        let updateLine = {key: '', args: []};
        let disks = null;
        let systemFacts = null;
        // Only the status line changes: a whole repaint would take the focus from the form.
        if (window.UpdateCheck) {
            UpdateCheck.subscribe(() => {
                const status = container.querySelector('#about-update-status');
                if (!status) return;
                const line = shownLine();
                status.textContent = line.key ? S(line.key, ...line.args) : '';
                status.classList.toggle('available', line.key === 'about.available');
                status.classList.toggle('error', Boolean(line.failed));
            });
        }

        // A manual verdict stands; otherwise the automatic check's quiet state shows.
        function shownLine() {
            const auto = window.UpdateCheck ? UpdateCheck.state() : {};
            if (updateLine.key || !auto.phase) return updateLine;
            if (auto.phase === 'checking') return {key: 'about.checking', args: []};
            if (auto.phase === 'available') return {key: 'about.available', args: [auto.version]};
            if (auto.phase === 'current') return {key: 'about.upToDate', args: []};
            return updateLine;
        }

        function versionCard() {
            const line = shownLine();
            const tone = line.failed ? ' error' : line.key === 'about.available' ? ' available' : '';
            const status = el('span', {className: 'inline-status' + tone,
                                       attrs: {id: 'about-update-status', role: 'status'},
                                       text: line.key ? S(line.key, ...line.args) : ''});
            const check = App.button('about.checkUpdate', '', () => checkUpdate());
            check.id = 'about-check-update';
            check.disabled = !Native.has('checkUpdate');
            const history = App.button('about.history', 'link', () => {
                PageWindows.open(Native.read('historyWindowPath', '') || 'this://app/history/history.html', 'history');
            });
            history.id = 'about-history';
            return card('about.versionTitle', [
                el('p', {className: 'num', text: S('about.version', Pellanor.productVersion())}),
                el('div', {className: 'inline-row'}, [check, history, status]),
                Native.has('checkUpdate') ? null : el('p', {className: 'inline-status', text: S('about.unavailable')}),
            ]);
        }

        function systemCard() {
            const list = el('dl', {className: 'facts'});
            for (const [key, value] of facts(systemFacts)) {
                list.append(el('dt', {i18n: key}), el('dd', {text: value}));
            }
            const diskArea = el('div');
            if (disks === null) {
                diskArea.appendChild(App.button('about.showDisks', '', async () => {
                    const result = await Busy.run(S('about.disksBusy'), () => Native.json('getDiskList'),
                                                  {container, note: S('about.disksNote')});
                    disks = result && Array.isArray(result.list) ? result.list : [];
                    render();
                }));
            } else if (disks.length === 0) {
                diskArea.appendChild(el('p', {className: 'inline-status', i18n: 'about.noDisks'}));
            } else {
                const diskList = el('dl', {className: 'facts'});
                for (const disk of disks) {
                    diskList.append(el('dt', {text: disk.diskModel || '?'}), el('dd', {text: Format.size(disk.diskSize)}));
                }
                diskArea.appendChild(diskList);
            }
            return card('about.system', [list, diskArea]);
        }

        function supportCard() {
            const id = Native.call('getClientId');
            const known = typeof id === 'string' && id !== '';
            const copy = App.button('about.copy', '', () => {
                if (Native.call('copyToClipboard', id) === true) Toast.show(S('about.copied'));
            });
            copy.id = 'about-copy';
            copy.disabled = !known;
            return card('about.supportId', [
                el('p', {className: 'setting-desc', i18n: 'about.supportIdDesc'}),
                el('div', {className: 'inline-row'}, [
                    el('span', {className: known ? 'code' : 'inline-status', attrs: {id: 'about-client-id'}, text: known ? id : S('about.unavailable')}),
                    copy,
                ]),
            ]);
        }

        // The QR code goes to the feedback page (else the support page), so a phone can reach
        // us; the card is not there at all while the product has no pages of its own.
        function onlineCard() {
            const links = brandLinks();
            if (links.length === 0) return null;
            const target = links.find((l) => l.name === 'feedback') || links.find((l) => l.name === 'support');
            const svg = target && Native.has('generateQrSvg') ? Native.call('generateQrSvg', target.url) : '';
            const buttons = links.map((link) => {
                const open = App.button('about.link.' + link.name, 'link', () => {
                    if (Native.call('openUrl', link.url) !== true) log.warn('could not open the ' + link.name + ' page');
                });
                open.dataset.link = link.name;
                open.title = link.url;
                return open;
            });
            const text = el('div', {className: 'online-text'}, [
                typeof svg === 'string' && svg.startsWith('<svg') ?
                    el('p', {className: 'setting-desc', i18n: 'about.qrCaption'}) : null,
                target ? el('p', {className: 'code online-url', attrs: {id: 'about-online-url'}, text: target.url}) : null,
                el('div', {className: 'inline-row'}, buttons),
            ]);
            let qr = null;
            if (typeof svg === 'string' && svg.startsWith('<svg')) {
                // As an image: the markup is shown, never run or merged into the page.
                qr = el('img', {className: 'online-qr', attrs: {id: 'about-qr', alt: S('about.qrAlt'),
                                src: 'data:image/svg+xml;charset=utf-8,' + encodeURIComponent(svg)}});
            }
            const node = card('about.online', [el('div', {className: 'online'}, [qr, text])]);
            node.id = 'about-online';
            return node;
        }

        function feedbackCard() {
            const text = el('textarea', {className: 'field', attrs: {id: 'about-feedback', 'aria-labelledby': 'about-feedback-label'}});
            text.value = draft.text;
            text.addEventListener('input', () => (draft.text = text.value));
            const contact = el('input', {className: 'field', attrs: {id: 'about-contact', type: 'email',
                                          'aria-labelledby': 'about-contact-label'}});
            contact.value = draft.contact;
            contact.addEventListener('input', () => (draft.contact = contact.value));
            // On its own line: beside Send it wraps below the fold of a short window, unseen.
            const status = el('p', {className: 'inline-status feedback-status', attrs: {id: 'about-feedback-status', role: 'status'}});
            const send = App.button('about.send', 'primary', () => sendFeedback(send, status));
            send.id = 'about-send';
            send.disabled = !Native.has('submitFeedback');
            return card('about.feedback', [
                el('label', {className: 'setting-desc', i18n: 'about.feedbackLabel', attrs: {id: 'about-feedback-label', for: 'about-feedback'}}),
                text,
                el('label', {className: 'setting-desc', i18n: 'about.contact', attrs: {id: 'about-contact-label', for: 'about-contact'}}),
                el('div', {className: 'inline-row'}, [contact, send]),
                status,
                Native.has('submitFeedback') ? null : el('p', {className: 'inline-status', text: S('about.unavailable')}),
            ]);
        }

        function say(status, key, failed) {
            status.textContent = S(key);
            status.classList.toggle('error', failed);
            status.scrollIntoView({block: 'nearest'});
        }

        async function sendFeedback(button, status) {
            if (draft.text.trim() === '') return say(status, 'about.empty', true);
            if (Native.call('isNetworkConnected') === false) return say(status, 'about.offline', true);
            button.disabled = true;
            const body = JSON.stringify({content: draft.text.trim(), contact: draft.contact.trim(),
                                         language: Locale.current()});
            const sent = await Busy.run(S('about.sending'), () => Native.call('submitFeedback', body), {container});
            button.disabled = false;
            if (sent === true) {
                draft.text = '';
                render();
                say(container.querySelector('#about-feedback-status'), 'about.sent', false);
            } else {
                say(status, 'about.sendFailed', true);
            }
            log.info('feedback ' + (sent === true ? 'sent' : 'not sent'));
        }

        async function checkUpdate() {
            if (!Native.has('checkUpdate')) return;
            const answer = await Busy.run(S('about.checking'), () => Native.json('checkUpdate'), {container});
            updateLine = updateVerdict(answer, Pellanor.productVersion());
            if (updateLine.failed) log.warn('update check failed: ' + JSON.stringify(answer));
            else if (window.UpdateCheck) UpdateCheck.note(answer);
            render();
            // The notes, the download and the install live in the updater window; "up to date" and
            // failures need no window of their own.
            if (updateLine.key === 'about.available' && window.UpdateCheck) UpdateCheck.openUpdater();
        }

        function render() {
            if (systemFacts === null) systemFacts = readFacts();
            const body = frame.body;
            const scroll = body.scrollTop;
            body.textContent = '';
            body.append(versionCard(), systemCard(), supportCard(), feedbackCard());
            const online = onlineCard();
            if (online) body.appendChild(online);
            body.scrollTop = scroll;
        }

        return {
            show: () => render(),
            onLanguageChanged: () => render(),
            checkUpdate,
            fixture: () => render(),
        };
    }

    App.registerSection({id: 'about', order: 100, navKey: 'nav.about', icon: 'about', create});
})();
