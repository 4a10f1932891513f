// The installer: choose a folder, choose the options, copy the running program there. Finish
// starts the installed copy and closes the installer. What gets copied is what the program
// needs beside it: its executable, the engine library, the pages folder (and, on Windows, the
// libraries and plug-in folders a deployed program carries); nothing else of its folder.
(function () {
    'use strict';

    const {S, element, native} = Setup;
    const log = Logger.create('Installer');
    const kProductFolder = 'Pellanor';
    const kShortcutName = 'Pellanor';
    // Read by the installed copy at its first start: it registers itself for start at logon,
    // because the start-up entry always names the program that asks for it.
    const kPendingLogonKey = 'install.startAtLogon';
    const kProgram = /^pellanor(\.exe)?$/i;
    const kEngine = /^(sciter\.dll|libsciter\.so)$/i;
    const kProgramFile = /^(pellanor(\.exe)?|pellanor-startup\.exe|libsciter\.so|[^/\\]+\.dll)$/i;
    const kProgramFolders = ['pages', 'platforms', 'styles', 'imageformats', 'iconengines',
                             'resources', 'translations', 'qtwebengine_locales'];
    const kSliceMs = 12;
    // Time a running copy gets to close after it was asked to, before its files are replaced.
    const kQuitWaitMs = 1500;

    const steps = ['folder', 'options', 'progress'];
    const state = {step: 0, folder: '', check: null, busy: false, installed: null, program: '',
                   progress: null, result: null};

    function facts() {
        return {
            desktop: native('getDesktopPath', [], ''),
            own: native('processFolder', [], ''),
            programs: native('programsPath', [], ''),
        };
    }

    // {refusal, state, args}: the verdict on the folder typed, by its text, then by the install
    // already listed, then by the program's own rule (the user's folders, what the folder
    // holds, links resolved), then by its content.
    function checkFolder(path) {
        const refusal = Setup.refusalOf(path, facts());
        if (refusal !== '') return {refusal, state: 'refused'};
        const folder = String(path).trim();
        // A second install would take the one installed-programs entry from the first, whose
        // uninstaller could then no longer find it: the listed install is updated in place, or
        // uninstalled before Pellanor goes elsewhere.
        const listed = Setup.listedInstall();
        if (listed !== '' && Setup.norm(listed) !== Setup.norm(folder)) {
            return {refusal: 'install.refuse.installed', state: 'refused', args: [listed]};
        }
        // Unanswered (an older program) counts as refused: the page's rules are not enough alone.
        const ruled = native('installFolderRefusal', [folder], 'unavailable');
        if (ruled !== '') {
            return {refusal: ruled === 'unavailable' ? 'install.refuse.foreign' : 'install.refuse.' + ruled,
                    state: 'refused'};
        }
        const parent = Setup.parentOf(folder);
        const name = folder.replace(/[\\/]+$/, '').slice(parent.length + 1);
        return Setup.refusalByContent(Setup.list(folder), parent ? Setup.list(parent) : null, name);
    }

    function showCheck() {
        const note = element('folder-note');
        const check = state.check = checkFolder(element('folder').value);
        note.textContent = '';
        note.classList.toggle('refused', check.refusal !== '');
        if (check.refusal !== '') {
            note.append(Icons.svg('warning', 16), S(check.refusal, ...(check.args || [])));
        } else {
            note.textContent = S('install.folder.' + check.state);
        }
        element('next').disabled = check.refusal !== '';
    }

    function render() {
        const id = steps[state.step];
        Setup.showPanel(id);
        Setup.markStep(state.step);
        element('step-text').textContent = S('install.stepOf', state.step + 1, steps.length);
        // After a failed install Back leads to the choices again.
        element('back').hidden = state.step === 0 || (id === 'progress' && state.installed !== false);
        element('cancel').hidden = id === 'progress' && !state.busy && state.installed === true;
        element('cancel').disabled = state.busy;
        element('next').textContent = S(id === 'options' ? 'install.action.install' :
                                         id === 'progress' ? 'install.finish' : 'common.next');
        element('next').disabled = id === 'folder' ? !state.check || state.check.refusal !== '' :
                                   id === 'progress' ? state.busy || state.installed !== true : false;
        if (id === 'options') element('summary-folder').textContent = state.folder;
        if (id === 'folder') showCheck();
        if (state.progress) paintProgress(state.progress);
        Setup.paintResult(state.result);
    }

    function setProgress(verbKey, done, total, current) {
        state.progress = {verbKey, done, total, current};
        paintProgress(state.progress);
    }

    function paintProgress({verbKey, done, total, current}) {
        element('progress-verb').textContent = S(verbKey);
        const bar = element('progress-bar');
        const determinate = total > 0;
        bar.classList.toggle('indeterminate', !determinate);
        if (determinate) {
            const ratio = Math.min(1, done / total);
            bar.querySelector('.bar-fill').style.transform = 'scaleX(' + ratio + ')';
            bar.setAttribute('aria-valuenow', String(Math.round(ratio * 100)));
            bar.setAttribute('aria-valuetext', S('install.progress.count', Format.count(done), Format.count(total)));
            element('progress-current').textContent = S('install.progress.count', Format.count(done), Format.count(total)) +
                (current ? ' · ' + current : '');
            element('progress-current').title = current || '';
        } else {
            bar.removeAttribute('aria-valuenow');
            element('progress-current').textContent = current || '';
        }
    }

    // The files to copy, each {from, to}, and the folders to create first, in order. null with
    // `missing` set when this copy lacks a part the program cannot start without.
    function plan(source, target) {
        const top = Setup.list(source);
        if (top === null) return {missing: source};
        const files = top.files.filter((name) => kProgramFile.test(name));
        const program = files.find((name) => kProgram.test(name));
        if (!program) return {missing: 'Pellanor'};
        if (!files.some((name) => kEngine.test(name))) return {missing: 'sciter'};
        if (!top.folders.includes('pages')) return {missing: 'pages'};
        const jobs = files.map((name) => ({from: Setup.join(source, name), to: Setup.join(target, name), name}));
        const folders = [];
        // What the manifest records, relative to the install folder; a folder ends in '/'.
        const entries = [];
        const walk = (relative) => {
            const listing = Setup.list(Setup.join(source, ...relative));
            folders.push(Setup.join(target, ...relative));
            entries.push(relative.join('/') + '/');
            if (listing === null) return;
            for (const name of listing.files) {
                const parts = relative.concat(name);
                jobs.push({from: Setup.join(source, ...parts), to: Setup.join(target, ...parts),
                           name: parts.join('/')});
            }
            // Links are never followed: what they point at is not part of this program.
            for (const name of listing.folders) walk(relative.concat(name));
        };
        for (const name of top.folders.filter((n) => kProgramFolders.includes(n))) walk([name]);
        for (const job of jobs) entries.push(job.name);
        return {jobs, folders, entries, program};
    }

    // Copies in slices so the bar moves and the window answers; stops at the first failure.
    async function copyAll(jobs) {
        let slice = performance.now();
        for (let i = 0; i < jobs.length; i += 1) {
            if (native('copyFile', [jobs[i].from, jobs[i].to, true], false) !== true) return jobs[i];
            if (performance.now() - slice > kSliceMs) {
                setProgress('install.progress.copying', i + 1, jobs.length, jobs[i].name);
                await PageChrome.frames(1);
                slice = performance.now();
            }
        }
        setProgress('install.progress.copying', jobs.length, jobs.length, '');
        return null;
    }

    // `lines` are Setup.line records.
    function finishWith(ok, lines) {
        state.busy = false;
        state.installed = ok;
        state.result = {titleKey: ok ? 'install.done.heading' : 'install.failed.heading', failed: !ok, lines};
        element('progress-bar').classList.toggle('failed', !ok);
        render();
        element(ok ? 'next' : 'back').focus();
    }

    async function install() {
        state.busy = true;
        state.installed = null;
        state.result = null;
        element('progress-bar').classList.remove('failed');
        render();
        const target = state.folder;
        const source = native('processFolder', [], '');
        setProgress('install.progress.preparing', 0, 0, '');
        await Setup.paint();
        const work = plan(source, target);
        if (!work.jobs) return finishWith(false, [Setup.line('install.failed.incomplete', [work.missing], true)]);
        // Checked again: the folder may have changed since the first step.
        const check = checkFolder(target);
        if (check.refusal !== '') return finishWith(false, [Setup.line(check.refusal, check.args, true)]);
        if (check.state === 'update') {
            // The copy being replaced may be running; its files cannot be replaced while it does.
            setProgress('install.progress.closing', 0, 0, '');
            native('notifyRunningInstanceQuit', [], undefined);
            await Pellanor.delay(kQuitWaitMs);
        }
        // The marker goes in first, then the record of everything about to be written: an
        // interrupted install is still ours to redo, and its uninstall finds all it wrote.
        if (native('mkdir', [target], false) !== true ||
            native('copyFile', [Setup.join(source, ...Setup.kMarkerSource),
                                Setup.join(target, Setup.kMarkerName), true], false) !== true ||
            native('recordInstalled', [target, JSON.stringify(work.entries)], false) !== true) {
            return finishWith(false, [Setup.line('install.failed.folder', [target], true)]);
        }
        for (const folder of work.folders) {
            if (native('mkdir', [folder], false) !== true) {
                return finishWith(false, [Setup.line('install.failed.folder', [folder], true)]);
            }
        }
        const failed = await copyAll(work.jobs);
        if (failed) return finishWith(false, [Setup.line('install.failed.copy', [failed.name], true)]);
        state.program = Setup.join(target, work.program);
        const listed = await register(target, work.jobs.length);
        finishWith(true, afterCopy(target, listed));
        log.info('installed ' + work.jobs.length + ' files in ' + target);
    }

    function programIcon(target) {
        const windows = String(native('kernelType', [], '')).toLowerCase() === 'winnt';
        return Setup.programIcon(target, state.program, windows);
    }

    // The entry that lists the program among the installed ones, with its uninstaller. The
    // size is the folder's after the copy: what uninstalling frees, an earlier version's
    // leftovers included.
    async function register(target, copied) {
        setProgress('install.progress.registering', 0, 0, '');
        await Setup.paint();
        const bytes = Number(native('getFolderSize', [target], '0'));
        const entry = Setup.uninstallEntry({program: state.program, folder: target, bytes,
                                            icon: programIcon(target),
                                            version: Pellanor.readNative('NativeUtil', 'nativeVersion', ''),
                                            date: new Date()});
        const listed = Setup.writeUninstallEntry(entry);
        // The bar ends where the copy left it, full, rather than busy with nothing to do.
        setProgress('install.progress.copying', copied, copied, '');
        log.info((listed ? 'listed' : 'could not list') + ' among the installed programs: ' +
                 entry.numbers.EstimatedSize + ' KiB');
        return listed;
    }

    // The shortcut and the start-at-logon request; their failures do not undo the install, nor
    // does a missing entry in the installed-programs list.
    function afterCopy(target, listed) {
        const lines = [Setup.line('install.done.text', [target]),
                       Setup.line(listed ? 'install.done.listed' : 'install.done.listedFailed', [], !listed)];
        if (element('opt-shortcut').checked) {
            // The same picture as the installed-programs entry: a launcher pointing at the
            // executable itself shows a blank sheet on the desktops that are not Windows.
            const made = native('createDesktopShortcut', [kShortcutName, state.program, '', programIcon(target)],
                                false) === true;
            lines.push(Setup.line(made ? 'install.done.shortcut' : 'install.done.shortcutFailed', [], !made));
        }
        const logon = element('opt-logon').checked;
        native('setSetting', [kPendingLogonKey, logon ? target : ''], false);
        if (logon) lines.push(Setup.line('install.done.logon'));
        return lines;
    }

    function finish() {
        const started = native('launch', [state.program, state.folder, ''], false) === true;
        if (!started) {
            state.result.lines.push(Setup.line('install.launchFailed', [state.folder], true));
            Setup.paintResult(state.result);
            return;
        }
        log.info('started ' + state.program);
        Setup.closeWindow();
    }

    function next() {
        const id = steps[state.step];
        if (id === 'folder') {
            showCheck();
            if (state.check.refusal !== '') return;
            state.folder = element('folder').value.trim();
            state.step = 1;
            render();
            element('opt-shortcut').focus();
        } else if (id === 'options') {
            state.step = 2;
            install();
        } else if (state.installed === true) {
            finish();
        }
    }

    function back() {
        if (state.busy) return;
        state.step = Math.max(0, state.step === 2 ? 1 : state.step - 1);
        render();
    }

    function cancel() {
        if (state.busy) return;
        log.info(state.installed === true ? 'closed without starting' : 'cancelled');
        Setup.closeWindow();
    }

    function wire() {
        element('folder').addEventListener('input', showCheck);
        element('folder').addEventListener('keydown', (event) => {
            if (event.key === 'Enter') next();
        });
        element('browse').addEventListener('click', () => {
            const picked = native('selectFolder', [S('install.folder.label'), element('folder').value], '');
            if (typeof picked === 'string' && picked !== '') {
                const named = /[\\/]pellanor[\\/]*$/i.test(picked);
                element('folder').value = named ? picked : Setup.join(picked, kProductFolder);
                showCheck();
            }
        });
        element('browse').disabled = !Pellanor.hasMethod('NativeUtil', 'selectFolder');
        element('next').addEventListener('click', next);
        element('back').addEventListener('click', back);
        element('cancel').addEventListener('click', cancel);
    }

    Pellanor.onReady(async () => {
        await Setup.start('install.title', cancel, render);
        // An installed copy is updated where it is; otherwise Pellanor gets a folder of its own
        // among the programs.
        const programs = native('programsPath', [], '');
        const listed = Setup.listedInstall();
        element('folder').value = listed !== '' ? listed :
                                  programs ? Setup.join(programs, kProductFolder) : '';
        wire();
        render();
        element('folder').focus();
        log.info('installer ready; default folder ' + element('folder').value);
    });

    window.Installer = Object.freeze({state: () => Object.assign({}, state), checkFolder});
})();
