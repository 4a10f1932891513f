// What the installer and the uninstaller share: the window's size (PageChrome does the rest),
// guarded native calls, path rules, the marker that tells an install of ours, the program's
// entry in the installed-programs lists, and the step header.
(function () {
    'use strict';

    // Written by the installer into every folder it fills, with the manifest beside it: the
    // list of what the install wrote there, recorded before it is written. The uninstaller
    // removes only what the manifest lists (natively, after every check again), and the
    // installer updates only a folder holding both.
    const kMarkerName = 'Pellanor.install';
    const kManifestName = 'Pellanor.manifest';
    const kMarkerSource = ['pages', 'installer', 'marker.txt'];
    const kWidth = 600;
    const kHeight = 460;
    // The program's line in the installed-programs lists (Windows' own and our Programs
    // section): per user, like the install, so it needs no administrator rights.
    const kEntryKey = 'HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pellanor';
    const kPublisher = 'Pellanor';
    const kIconInPages = ['pages', 'installer', 'img', 'pellanor.png'];
    const kKiB = 1024;

    const S = (key, ...args) => MainStrings.t(key, ...args);
    const element = (id) => document.getElementById(id);

    function native(method, args, fallback) {
        return Pellanor.callNative('NativeUtil', method, args || [], fallback);
    }

    // The one-level listing, or null when the path names no folder.
    function list(path) {
        try {
            const listing = JSON.parse(native('listFolder', [path], '{"error":"unavailable"}'));
            return listing && !listing.error ? listing : null;
        } catch (error) {
            return null;
        }
    }

    function norm(path) {
        return String(path || '').trim().replace(/\\/g, '/').replace(/\/+$/, '').toLowerCase();
    }

    // Joins with the separator the base path already uses, so Windows paths stay Windows-shaped.
    function join(base, ...parts) {
        const separator = String(base).includes('\\') && !String(base).includes('/') ? '\\' : '/';
        const trimmed = String(base).replace(/[\\/]+$/, '');
        return [trimmed === '' && separator === '/' ? '' : trimmed, ...parts].join(separator);
    }

    function parentOf(path) {
        const p = String(path).replace(/[\\/]+$/, '');
        const cut = Math.max(p.lastIndexOf('/'), p.lastIndexOf('\\'));
        return cut <= 0 ? '' : p.slice(0, cut);
    }

    function isInside(path, folder) {
        return folder !== '' && (path === folder || path.startsWith(folder + '/'));
    }

    const kPosixSystem = ['/bin', '/boot', '/dev', '/etc', '/lib', '/lib32', '/lib64', '/libx32',
                          '/proc', '/root', '/run', '/sbin', '/sys', '/usr', '/var'];
    // Shared parents of other people's folders: a folder inside may be ours, never these.
    const kPosixShared = ['/home', '/media', '/mnt', '/opt', '/srv', '/tmp'];

    // Why `path` may not receive an install ('' when it may), by its text alone: `facts` holds
    // the user's desktop, the running program's folder and the programs folder. The folder's
    // content is judged separately (refusalByContent).
    function refusalOf(path, facts) {
        const raw = String(path || '').trim();
        const p = norm(raw);
        if (raw === '') return 'install.refuse.empty';
        if (raw.includes('%') || raw.includes('?') || raw.includes('*') || raw.includes('"')) {
            return 'install.refuse.relative';
        }
        if (!/^[a-z]:\//.test(p + '/') && !raw.startsWith('/') && !raw.startsWith('\\\\')) {
            return 'install.refuse.relative';
        }
        if (/^[a-z]:$/.test(p) || p === '' || /^\/\/[^/]+(\/[^/]+)?$/.test(p)) {
            return 'install.refuse.root';
        }
        if (p.split('/').some((part) => part === '..' || part === '.')) return 'install.refuse.relative';
        if (/^[a-z]:\/windows(\/|$)/.test(p) || /^[a-z]:\/program files( \(x86\))?$/.test(p) ||
            /^[a-z]:\/programdata$/.test(p) || /^[a-z]:\/users$/.test(p) ||
            kPosixSystem.some((folder) => isInside(p, folder)) || kPosixShared.includes(p) ||
            p === norm(facts.programs)) {
            return 'install.refuse.system';
        }
        const desktop = norm(facts.desktop);
        const profile = desktop.includes('/') ? desktop.slice(0, desktop.lastIndexOf('/')) : '';
        if (profile !== '' && isInside(profile, p)) return 'install.refuse.profile';
        const own = norm(facts.own);
        if (own !== '' && (isInside(own, p) || isInside(p, own))) return 'install.refuse.own';
        return '';
    }

    // By what the folder holds: a missing folder is created, an empty one or an earlier install
    // of ours (marker and manifest, or only those: an install cut short) is used, anything
    // else is someone else's. A file or a link of that name is never
    // installed into (a link would carry the install elsewhere). `listing` is the folder's,
    // `parentListing` its parent's, `name` its name there. Answers {refusal, state}, state
    // being 'new', 'empty', 'update', 'file' or 'foreign'.
    function refusalByContent(listing, parentListing, name) {
        if (listing === null) {
            const taken = parentListing !== null &&
                (parentListing.files.includes(name) || parentListing.links.includes(name));
            return taken ? {refusal: 'install.refuse.notFolder', state: 'file'} :
                           {refusal: '', state: 'new'};
        }
        const entries = listing.files.length + listing.folders.length + listing.links.length;
        if (entries === 0) return {refusal: '', state: 'empty'};
        const ours = [kMarkerName, kManifestName];
        const onlyOurs = listing.folders.length + listing.links.length === 0 &&
                         listing.files.every((file) => ours.includes(file));
        if (onlyOurs || ours.every((file) => listing.files.includes(file))) {
            return {refusal: '', state: 'update'};
        }
        return {refusal: 'install.refuse.foreign', state: 'foreign'};
    }

    function hasMarker(folder) {
        const listing = list(folder);
        return listing !== null && listing.files.includes(kMarkerName);
    }

    function twoDigits(number) {
        return String(number).padStart(2, '0');
    }

    // The picture the lists show for the install in `folder` of `program`: the program itself
    // on Windows, whose executable carries the icon; elsewhere an executable has no picture of
    // its own, so the logo copied with the pages stands in when it is there.
    function programIcon(folder, program, windows) {
        if (windows) return program;
        const picture = join(folder, ...kIconInPages);
        const listing = list(parentOf(picture));
        return listing !== null && listing.files.includes(kIconInPages[kIconInPages.length - 1]) ?
            picture : program;
    }

    // The values of the installed-programs entry for the program `program` installed in
    // `folder`: {texts, numbers}, each a map of value name to what is stored. `icon` is the
    // picture (the program when not given), `bytes` what the folder holds, `date` the day of
    // the install (local time, as Windows writes it). There is no quiet uninstall to offer:
    // the uninstaller asks the user before it acts.
    function uninstallEntry({program, folder, version, icon, bytes, date}) {
        const when = date instanceof Date && !Number.isNaN(date.getTime()) ? date : new Date();
        const size = Number(bytes);
        return {
            texts: {
                DisplayName: 'Pellanor',
                DisplayVersion: String(version || ''),
                Publisher: kPublisher,
                DisplayIcon: icon || program,
                UninstallString: '"' + program + '" --uninstall',
                InstallLocation: folder,
                InstallDate: String(when.getFullYear()) + twoDigits(when.getMonth() + 1) +
                             twoDigits(when.getDate()),
            },
            numbers: {
                // Windows keeps the size in KiB in a DWORD; a part KiB counts as a whole one.
                EstimatedSize: Number.isFinite(size) && size > 0 ?
                    Math.min(0x7fffffff, Math.ceil(size / kKiB)) : 0,
                NoModify: 1,
                NoRepair: 1,
            },
        };
    }

    // Whether the entry whose InstallLocation is `location` describes the install in `folder`:
    // another install elsewhere keeps its entry when this one goes.
    function ownsEntry(location, folder) {
        const at = norm(location);
        return at !== '' && at === norm(folder);
    }

    // Writes the entry afresh, so values an earlier version left cannot outlive it (one of
    // them, SystemComponent, would hide the program from every list). False when a value could
    // not be stored.
    function writeUninstallEntry(entry) {
        native('removeRegistryKey', [kEntryKey], false);
        let stored = true;
        for (const [name, text] of Object.entries(entry.texts)) {
            stored = native('setRegistryString', [kEntryKey, name, text], false) === true && stored;
        }
        for (const [name, number] of Object.entries(entry.numbers)) {
            stored = native('setRegistryIntValue', [kEntryKey, name, number], false) === true && stored;
        }
        return stored;
    }

    // The folder of the install the entry lists, or '' when there is none or its folder no
    // longer holds an install of ours (removed by hand): one entry can describe one install, so
    // while it names a live one, that is where the installer updates.
    function listedInstall() {
        const location = String(native('getRegistryString', [kEntryKey, 'InstallLocation'], '') || '');
        return location.trim() !== '' && hasMarker(location) ? location : '';
    }

    // Removes the entry when it is `folder`'s: true when removed, 'skipped' when there is none
    // or it names another install, false when the removal failed.
    function removeUninstallEntry(folder) {
        const location = native('getRegistryString', [kEntryKey, 'InstallLocation'], '');
        if (!ownsEntry(location, folder)) return 'skipped';
        return native('removeRegistryKey', [kEntryKey], false) === true;
    }

    // Marks step `index` (0-based) of the header as the current one, the earlier ones as done.
    function markStep(index) {
        document.querySelectorAll('.setup-step').forEach((step, i) => {
            step.classList.toggle('done', i < index);
            if (i === index) {
                step.setAttribute('aria-current', 'step');
            } else {
                step.removeAttribute('aria-current');
            }
        });
    }

    function showPanel(id) {
        document.querySelectorAll('[data-panel]').forEach((panel) => {
            panel.hidden = panel.getAttribute('data-panel') !== id;
        });
    }

    // Sizes the window, applies the language, wires the title bar; resolves with the language.
    // `onLanguage` repaints the page's own texts when the language changes while it is open.
    // The first language is applied before the page has set itself up, so only later changes
    // reach `onLanguage`.
    async function start(titleKey, onClose, onLanguage) {
        let started = false;
        const language = await PageChrome.start({width: kWidth, height: kHeight, titleKey, close: onClose,
                                                 onLanguage: (result) => started && onLanguage && onLanguage(result)});
        started = true;
        return language;
    }

    // A line of a result: {key, args, failed}. Lines and headings are kept as keys and painted
    // from them, so a language chosen while the window is open reaches them too.
    const line = (key, args, failed) => ({key, args: args || [], failed: failed === true});

    function resultLine({key, args, failed}) {
        const item = document.createElement('li');
        if (failed) item.className = 'failed';
        item.append(Icons.svg(failed ? 'warning' : 'check', 16), S(key, ...args));
        return item;
    }

    // Paints `result` ({titleKey, failed, lines}, or null for none) into the page's result box.
    function paintResult(result) {
        element('result').hidden = result === null;
        if (result === null) return;
        element('result').classList.toggle('failed', result.failed === true);
        element('result-title').textContent = S(result.titleKey);
        const list = element('result-lines');
        list.textContent = '';
        for (const each of result.lines) list.appendChild(resultLine(each));
    }

    window.Setup = Object.freeze({
        kMarkerName,
        kManifestName,
        kMarkerSource,
        kEntryKey,
        S,
        element,
        native,
        list,
        norm,
        join,
        parentOf,
        refusalOf,
        refusalByContent,
        hasMarker,
        programIcon,
        uninstallEntry,
        ownsEntry,
        writeUninstallEntry,
        removeUninstallEntry,
        listedInstall,
        closeWindow: PageChrome.close,
        markStep,
        showPanel,
        paint: () => PageChrome.frames(2),
        start,
        line,
        paintResult,
    });
})();
