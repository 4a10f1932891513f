// The folders a scan covers, as chips with a remove button, an Add folder button and, for the
// duplicate finder, a Normal/Protected switch per folder (files in a Protected folder can never
// be ticked). The list is saved per section, so the next visit starts where the user left off.
//
// new FolderChips(container, {settingKey, defaults: [paths], protectable, onAdd(path),
//                             onChange(folders)})
// .folders -> [{path, protected}], .setDisabled(bool), .setScanning(bool)
(function () {
    'use strict';

    const K = () => window.AnalysisKit;

    function load(settingKey, defaults) {
        const saved = K().native('getSetting', [settingKey, ''], '');
        try {
            const list = JSON.parse(saved);
            if (Array.isArray(list)) {
                return list.filter((f) => f && typeof f.path === 'string' && f.path !== '')
                    .map((f) => ({path: f.path, protected: Boolean(f.protected)}));
            }
        } catch (error) {
            // Nothing saved yet, or an older format: start from the defaults.
        }
        return defaults.map((path) => ({path, protected: false}));
    }

    function samePath(a, b) {
        const norm = (p) => String(p).replace(/\\/g, '/').replace(/\/+$/, '').toLowerCase();
        return norm(a) === norm(b);
    }

    // %USERPROFILE%\Documents reads as "Documents"; the whole path stays in the tooltip.
    function labelOf(path) {
        const match = /^%USERPROFILE%(?:[\\/](.+))?$/i.exec(path);
        if (!match) return K().middle(path, 48);
        return match[1] ? match[1].replace(/\\/g, '/') : K().t('folders.profile');
    }

    class FolderChips {
        constructor(container, options) {
            this.options = Object.assign({defaults: [], protectable: false}, options);
            this.folders = load(this.options.settingKey, this.options.defaults);
            this.root = K().el('div', {class: 'chips', role: 'list'});
            this.note = K().el('p', {class: 'chips-note', hidden: true, role: 'status'});
            // While a scan runs: a folder added joins it, one removed could not leave it.
            this.scanNote = K().el('p', {class: 'chips-scan-note', hidden: true,
                                         'data-i18n': 'folders.scanNote'});
            this.typed = K().el('input', {class: 'chips-path', type: 'text', hidden: true,
                                           'data-i18n-placeholder': 'folders.typePath',
                                           onkeydown: (e) => this.onTypedKey(e)});
            container.appendChild(this.root);
            container.appendChild(this.typed);
            container.appendChild(this.note);
            container.appendChild(this.scanNote);
            this.render();
        }

        save() {
            K().native('setSetting', [this.options.settingKey, JSON.stringify(this.folders)], false);
            if (this.options.onChange) this.options.onChange(this.folders);
        }

        add(path) {
            const text = String(path || '').trim();
            if (text === '' || this.folders.some((f) => samePath(f.path, text))) return false;
            this.folders.push({path: text, protected: false});
            this.save();
            this.render();
            if (this.options.onAdd) this.options.onAdd(text);
            return true;
        }

        remove(index) {
            if (this.scanning) return;
            this.folders.splice(index, 1);
            this.save();
            this.render();
        }

        toggleProtected(index) {
            this.folders[index].protected = !this.folders[index].protected;
            this.save();
            this.render();
        }

        setDisabled(disabled) {
            this.disabled = disabled;
            this.render();
        }

        // The scanners take folders in while they run but cannot drop one: its files would stay
        // in the results. So removing waits for the end, and the chips say why.
        setScanning(scanning) {
            if (Boolean(scanning) === Boolean(this.scanning)) return;
            this.scanning = Boolean(scanning);
            this.scanNote.hidden = !this.scanning;
            this.render();
        }

        async onAddClicked() {
            this.note.hidden = true;
            const picked = await K().pickFolders(K().t('folders.pickTitle'));
            for (const path of picked) {
                if (path.includes('?')) {
                    this.showTyped(path);
                    continue;
                }
                this.add(path);
            }
        }

        showTyped(lossyPath) {
            this.note.textContent = K().t('folders.lossy');
            this.note.hidden = false;
            this.typed.hidden = false;
            this.typed.value = lossyPath || '';
            this.typed.focus();
        }

        onTypedKey(event) {
            if (event.key === 'Escape') {
                this.typed.hidden = true;
                this.note.hidden = true;
            } else if (event.key === 'Enter' && !this.typed.value.includes('?')) {
                this.add(this.typed.value);
                this.typed.hidden = true;
                this.note.hidden = true;
            }
        }

        chip(folder, index) {
            const el = K().el;
            const t = K().t;
            const label = el('span', {class: 'chip-label', title: folder.path,
                                      text: labelOf(folder.path)});
            const parts = [label];
            if (this.options.protectable) {
                parts.push(el('button', {
                    class: 'chip-mode', type: 'button', 'aria-pressed': String(folder.protected),
                    title: t('dup.protectedHelp'), disabled: this.disabled,
                    text: t(folder.protected ? 'dup.protected' : 'dup.normal'),
                    onclick: () => this.toggleProtected(index),
                }));
            }
            const removeTip = t(this.scanning ? 'folders.removeLater' : 'folders.remove',
                                folder.path);
            parts.push(el('button', {class: 'chip-remove', type: 'button', text: '\u00d7',
                                     'aria-label': removeTip, title: removeTip,
                                     disabled: this.disabled || this.scanning,
                                     onclick: () => this.remove(index)}));
            return el('span', {class: 'chip' + (folder.protected ? ' is-protected' : ''),
                               role: 'listitem'}, parts);
        }

        render() {
            const el = K().el;
            this.root.textContent = '';
            this.folders.forEach((folder, index) => this.root.appendChild(this.chip(folder, index)));
            // Adding stays possible while a scan runs: the scan takes the new folder in.
            this.root.appendChild(el('button', {class: 'button secondary chip-add',
                                                type: 'button', text: '+ ' + K().t('folders.add'),
                                                onclick: () => this.onAddClicked()}));
            K().translate(this.typed.parentNode || this.root);
        }
    }

    FolderChips.samePath = samePath;
    window.FolderChips = FolderChips;
})();
