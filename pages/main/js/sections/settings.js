// Settings: each choice is saved the moment it changes. Start with Windows goes through the
// system's task scheduler, which is slow and may refuse, so its switch shows that it is busy
// and falls back to the old state when the change did not happen.
(function () {
    'use strict';

    const S = (key, ...args) => MainStrings.t(key, ...args);
    const el = (...args) => App.el(...args);
    const log = Logger.create('SettingsSection');

    function setting(nameKey, descKey, control, extra) {
        return el('div', {className: 'setting'}, [
            el('div', {className: 'setting-text'}, [
                el('div', {className: 'setting-name', i18n: nameKey, attrs: {id: nameKey.replace('.', '-')}}),
                el('div', {className: 'setting-desc', i18n: descKey}),
                extra || null,
            ]),
            control,
        ]);
    }

    function toggle(labelKey, checked, onChange) {
        const node = el('button', {className: 'switch', attrs: {type: 'button', role: 'switch',
                        'aria-checked': String(Boolean(checked)), 'aria-labelledby': labelKey.replace('.', '-'),
                        'data-setting': labelKey}});
        node.addEventListener('click', () => onChange(node, node.getAttribute('aria-checked') !== 'true'));
        return node;
    }

    function setChecked(node, value) {
        node.setAttribute('aria-checked', String(Boolean(value)));
    }

    function create(container) {
        const frame = App.sectionFrame(container, 'settings.title', 'settings.desc');
        frame.bar.hidden = true;
        let built = false;

        function languageSelect() {
            const select = el('select', {className: 'field', attrs: {id: 'settings-language-select',
                              'aria-labelledby': 'settings-language'}});
            for (const code of Locale.supported) {
                const table = MainStrings.tables()[code] || {};
                // Each language in its own name, so a reader can find theirs in any language.
                const option = el('option', {text: table['language.self'] || code, attrs: {value: code, lang: code}});
                select.appendChild(option);
            }
            select.value = Locale.current();
            select.addEventListener('change', async () => {
                await App.setLanguage(select.value);
                Toast.show(S('settings.saved'));
            });
            return select;
        }

        async function changeStartup(node, wanted) {
            if (node.getAttribute('aria-busy') === 'true') return;
            node.setAttribute('aria-busy', 'true');
            const status = container.querySelector('#settings-startup-status');
            status.textContent = S('settings.working');
            status.classList.remove('error');
            const ok = await Busy.run(S('settings.working'), () => Native.call('setStartupOnBoot', wanted),
                                      {container: node.parentElement});
            node.removeAttribute('aria-busy');
            const now = Native.call('isStartupOnBoot') === true;
            setChecked(node, ok === true ? wanted : now);
            status.textContent = ok === true ? '' : S('settings.startFailed');
            status.classList.toggle('error', ok !== true);
            log.info('start with Windows ' + (wanted ? 'on' : 'off') + (ok === true ? '' : ' failed'));
            if (ok === true) Toast.show(S('settings.saved'));
        }

        function plainToggle(key, fallback, after) {
            return (node, wanted) => {
                setChecked(node, wanted);
                Native.call('setSetting', key, wanted ? '1' : '0');
                if (after) after(wanted);
                Toast.show(S('settings.saved'));
            };
        }

        function build() {
            const body = frame.body;
            body.textContent = '';
            body.appendChild(setting('settings.language', 'settings.languageDesc', languageSelect()));
            const startup = toggle('settings.startOnBoot', Native.call('isStartupOnBoot') === true, changeStartup);
            startup.disabled = !Native.has('setStartupOnBoot');
            body.appendChild(setting('settings.startOnBoot', 'settings.startOnBootDesc', startup,
                                     el('div', {className: 'inline-status', attrs: {id: 'settings-startup-status', role: 'status'}})));
            const tray = toggle('settings.tray', Native.call('getSetting', 'minimizeOnClose', '1') === '1',
                                (node, wanted) => {
                                    setChecked(node, wanted);
                                    Native.call('setMinimizeOnClose', wanted);
                                    Toast.show(S('settings.saved'));
                                });
            body.appendChild(setting('settings.tray', 'settings.trayDesc', tray));
            const updates = toggle('settings.autoUpdate', Native.call('getSetting', 'autoCheckUpdate', '1') === '1',
                                   plainToggle('autoCheckUpdate'));
            body.appendChild(setting('settings.autoUpdate', 'settings.autoUpdateDesc', updates));
            const usage = toggle('settings.usage', Native.call('getSetting', 'usageData', '0') === '1',
                                 plainToggle('usageData'));
            body.appendChild(setting('settings.usage', 'settings.usageDesc', usage));
            const keys = App.button('hotkey.open', '', () => Hotkeys.openPage(),
                                    {attrs: {type: 'button', id: 'settings-hotkeys'}});
            body.appendChild(setting('hotkey.settingName', 'hotkey.settingDesc', keys));
            built = true;
        }

        return {
            show() {
                build();
            },
            onLanguageChanged() {
                if (built) build();
            },
            fixture: () => build(),
        };
    }

    App.registerSection({id: 'settings', order: 90, navKey: 'nav.settings', icon: 'settings', create});
})();
