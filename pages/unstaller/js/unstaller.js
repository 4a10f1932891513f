// The uninstaller: asks why (optional) and whether to keep the settings, then undoes what the
// installer did (its entry among the installed programs included) and has the program's folder removed once this process has ended. It acts only
// on a folder the installer filled (one holding its marker): a copy run from anywhere else
// removes nothing at all.
(function () {
    'use strict';

    const {S, element, native} = Setup;
    const log = Logger.create('Uninstaller');
    const kSettingsKey = 'HKEY_CURRENT_USER\\Software\\Pellanor\\Settings';
    const kShortcutName = 'Pellanor';
    const kPendingLogonKey = 'install.startAtLogon';
    // Time a running copy gets to close after it was asked to, before its folder is scheduled.
    const kQuitWaitMs = 1500;

    const state = {folder: '', phase: 'ask', busy: false, tasks: []};

    // The shortcut the installer made: a shell link on Windows, a launcher file elsewhere.
    function shortcutPath() {
        const desktop = native('getDesktopPath', [], '');
        if (!desktop) return '';
        const windows = String(native('kernelType', [], '')).toLowerCase() === 'winnt';
        return Setup.join(desktop, kShortcutName + (windows ? '.lnk' : '.desktop'));
    }

    function addTask(key) {
        const item = document.createElement('li');
        const name = Object.assign(document.createElement('span'), {className: 'task-name', textContent: S(key)});
        const status = Object.assign(document.createElement('span'), {className: 'task-state', textContent: S('uninstall.state.working')});
        item.append(name, status);
        element('tasks').appendChild(item);
        const task = {key, item, status, ok: null};
        state.tasks.push(task);
        return task;
    }

    function settle(task, outcome) {
        task.ok = outcome !== false;
        const key = outcome === 'skipped' ? 'uninstall.state.skipped' :
                    outcome === false ? 'uninstall.state.failed' : 'uninstall.state.done';
        task.status.textContent = S(key);
        task.status.className = 'task-state ' + (outcome === false ? 'failed' : 'ok');
    }

    async function step(key, action) {
        const task = addTask(key);
        await Setup.paint();
        let outcome = false;
        try {
            outcome = await action();
        } catch (error) {
            log.error(key + ' failed:', error);
        }
        settle(task, outcome);
        log.info(key + ': ' + outcome);
        return outcome;
    }

    function render() {
        const asking = state.phase === 'ask';
        Setup.showPanel(state.phase);
        element('go').hidden = !asking;
        element('go').disabled = state.busy;
        element('cancel').disabled = state.busy;
        element('cancel').textContent = S(asking ? 'common.cancel' : 'common.close');
    }

    async function uninstall() {
        if (state.busy) return;
        // Asked again at the moment of acting: the marker is the only licence to remove.
        if (!Setup.hasMarker(state.folder)) return refuse();
        state.busy = true;
        state.phase = 'progress';
        render();
        const reason = element('reason').value.trim();
        const keep = element('keep').checked;
        if (reason !== '') {
            await step('uninstall.step.feedback', () => native('submitFeedback', [JSON.stringify(
                {kind: 'uninstall', content: reason, language: Locale.current()})], false) === true);
        }
        await step('uninstall.step.quit', async () => {
            native('notifyRunningInstanceQuit', [], undefined);
            await Pellanor.delay(kQuitWaitMs);
            return true;
        });
        await step('uninstall.step.logon', () => native('setStartupOnBoot', [false], false) === true);
        await step('uninstall.step.shortcut', () => {
            const path = shortcutPath();
            // No shortcut (never made, or removed by the user) is not a failure.
            return path === '' ? 'skipped' :
                   native('removeFile', [path], false) === true ? true : 'skipped';
        });
        // The entry goes whatever becomes of the settings: it names files that are going. An
        // entry naming another install folder is that install's and stays.
        await step('uninstall.step.entry', () => Setup.removeUninstallEntry(state.folder));
        if (keep) {
            await step('uninstall.step.keepSettings', () => {
                native('setSetting', [kPendingLogonKey, ''], false);
                return true;
            });
        } else {
            await step('uninstall.step.settings', () => native('removeRegistryKey', [kSettingsKey], false) === true);
        }
        const scheduled = await step('uninstall.step.folder', () => native('scheduleSelfDelete', [state.folder], false) === true);
        done(scheduled === true);
    }

    function done(scheduled) {
        state.busy = false;
        // An answer that could not be sent is not a part of Pellanor left behind.
        const failed = state.tasks.filter((task) => task.ok === false && task.key !== 'uninstall.step.feedback');
        element('result').hidden = false;
        element('result').classList.toggle('failed', !scheduled);
        element('result-title').textContent = S(scheduled && failed.length === 0 ? 'uninstall.done.heading' : 'uninstall.failed.heading');
        const lines = element('result-lines');
        lines.textContent = '';
        lines.appendChild(Setup.resultLine(S(scheduled ? 'uninstall.done.text' : 'uninstall.failed.folder', state.folder), !scheduled));
        render();
        element('cancel').focus();
        log.info('uninstall ' + (scheduled ? 'scheduled' : 'not scheduled') + ' for ' + state.folder +
                 (failed.length ? '; failed: ' + failed.map((task) => task.key).join(', ') : ''));
    }

    function refuse() {
        state.phase = 'refused';
        element('refused-text').textContent = S('uninstall.refuse.text', state.folder || '?');
        render();
        element('cancel').focus();
        log.info('refused: no installation marker in ' + state.folder);
    }

    // A language chosen meanwhile: the texts this page wrote itself, again.
    function relabel() {
        if (state.phase === 'ask') element('ask-desc').textContent = S('uninstall.desc', state.folder);
        if (state.phase === 'refused') element('refused-text').textContent = S('uninstall.refuse.text', state.folder || '?');
        render();
    }

    function close() {
        if (state.busy) return;
        Setup.closeWindow();
    }

    Pellanor.onReady(async () => {
        await Setup.start('uninstall.title', close, relabel);
        state.folder = native('processFolder', [], '');
        element('go').addEventListener('click', uninstall);
        element('cancel').addEventListener('click', close);
        if (state.folder === '' || !Setup.hasMarker(state.folder)) return refuse();
        element('ask-desc').textContent = S('uninstall.desc', state.folder);
        render();
        element('reason').focus();
        log.info('uninstaller ready for ' + state.folder);
    });

    window.Uninstaller = Object.freeze({state: () => ({folder: state.folder, phase: state.phase, busy: state.busy})});
})();
