// The uninstaller: asks why (optional) and whether to keep the settings, then undoes what the
// installer did (its entry among the installed programs included) and has the files the
// install wrote removed once this process has ended, by the install's manifest: what the user
// added to the folder stays, and so does the folder then. It acts only on a folder the
// installer filled (one holding its marker) and could have chosen: a copy run from anywhere
// else removes nothing.
(function () {
    'use strict';

    const {S, element, native} = Setup;
    const log = Logger.create('Uninstaller');
    const kSettingsKey = 'HKEY_CURRENT_USER\\Software\\Pellanor\\Settings';
    const kShortcutName = 'Pellanor';
    const kPendingLogonKey = 'install.startAtLogon';
    // Time a running copy gets to close after it was asked to, before its folder is scheduled.
    const kQuitWaitMs = 1500;

    const state = {folder: '', phase: 'ask', busy: false, tasks: [], result: null};

    // The shortcut the installer made: a shell link on Windows, a launcher file elsewhere.
    function shortcutPath() {
        const desktop = native('getDesktopPath', [], '');
        if (!desktop) return '';
        const windows = String(native('kernelType', [], '')).toLowerCase() === 'winnt';
        return Setup.join(desktop, kShortcutName + (windows ? '.lnk' : '.desktop'));
    }

    // Whether the uninstaller may remove `folder`: our marker is in it, and it is a folder the
    // installer would have accepted, so a marker dropped into a profile, a drive's root or a
    // system folder licenses nothing.
    function mayRemove(folder) {
        const facts = {desktop: native('getDesktopPath', [], ''), own: '',
                       programs: native('programsPath', [], '')};
        const refusal = Setup.refusalOf(folder, facts);
        if (refusal !== '') {
            log.info('will not remove ' + folder + ': ' + refusal);
            return false;
        }
        // The program's own rule, with links resolved: the uninstaller runs from the folder it
        // removes, so "own" is what it expects to hear.
        const ruled = native('installFolderRefusal', [folder], 'unavailable');
        if (ruled !== '' && ruled !== 'own') {
            log.info('will not remove ' + folder + ': ' + ruled);
            return false;
        }
        return Setup.hasMarker(folder);
    }

    // A step line is its key and its outcome (null while it runs), painted from them.
    function paintTask(task) {
        task.name.textContent = S(task.key);
        const stateKey = task.outcome === null ? 'uninstall.state.working' :
                         task.outcome === 'skipped' ? 'uninstall.state.skipped' :
                         task.outcome === false ? 'uninstall.state.failed' : 'uninstall.state.done';
        task.status.textContent = S(stateKey);
        task.status.className = 'task-state' + (task.outcome === null ? '' :
                                                task.outcome === false ? ' failed' : ' ok');
    }

    function addTask(key) {
        const item = document.createElement('li');
        const name = Object.assign(document.createElement('span'), {className: 'task-name'});
        const status = document.createElement('span');
        item.append(name, status);
        element('tasks').appendChild(item);
        const task = {key, name, status, outcome: null};
        state.tasks.push(task);
        paintTask(task);
        return task;
    }

    function settle(task, outcome) {
        task.outcome = outcome === true || outcome === 'skipped' ? outcome : false;
        paintTask(task);
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
        Setup.paintResult(state.result);
    }

    async function uninstall() {
        if (state.busy) return;
        // Asked again at the moment of acting: the folder may have changed meanwhile.
        if (!mayRemove(state.folder)) return refuse();
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
        const scheduled = await step('uninstall.step.folder', () => native('scheduleInstallRemoval', [state.folder], false) === true);
        done(scheduled === true);
    }

    function done(scheduled) {
        state.busy = false;
        // An answer that could not be sent is not a part of Pellanor left behind.
        const failed = state.tasks.filter((task) => task.outcome === false && task.key !== 'uninstall.step.feedback');
        state.result = {
            titleKey: scheduled && failed.length === 0 ? 'uninstall.done.heading' : 'uninstall.failed.heading',
            failed: !scheduled,
            lines: [Setup.line(scheduled ? 'uninstall.done.text' : 'uninstall.failed.folder', [state.folder], !scheduled)],
        };
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
        log.info('refused: no install of ours in ' + state.folder);
    }

    // A language chosen meanwhile: the texts this page wrote itself, again.
    function relabel() {
        if (state.phase === 'ask') element('ask-desc').textContent = S('uninstall.desc', state.folder);
        if (state.phase === 'refused') element('refused-text').textContent = S('uninstall.refuse.text', state.folder || '?');
        state.tasks.forEach(paintTask);
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
        if (state.folder === '' || !mayRemove(state.folder)) return refuse();
        element('ask-desc').textContent = S('uninstall.desc', state.folder);
        render();
        element('reason').focus();
        log.info('uninstaller ready for ' + state.folder);
    });

    window.Uninstaller = Object.freeze({
        state: () => ({folder: state.folder, phase: state.phase, busy: state.busy,
                       tasks: state.tasks.map(({key, outcome}) => ({key, outcome}))}),
        mayRemove,
    });
})();
