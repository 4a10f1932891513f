// Modal dialogs. Confirm.ask is the one question before anything is deleted or moved: it lists
// exactly what will go, what will be skipped and why, and says plainly that it is permanent.
// Cancel has the focus, so Enter alone never deletes.
(function () {
    'use strict';

    const kListLimit = 200;
    const S = (key, ...args) => MainStrings.t(key, ...args);

    function node(tag, className, text) {
        const element = document.createElement(tag);
        if (className) element.className = className;
        if (text !== undefined) element.textContent = text;
        return element;
    }

    function itemList(items, withDetail) {
        const list = node('ul', 'dialog-list');
        for (const item of items.slice(0, kListLimit)) {
            const row = node('li');
            const label = node('span', 'label', item.label);
            label.title = item.label;
            row.appendChild(label);
            const detail = withDetail ? item.detail : item.reason;
            if (detail) row.appendChild(node('span', 'detail', detail));
            list.appendChild(row);
        }
        if (items.length > kListLimit) {
            list.appendChild(node('li', 'muted', S('confirm.andMore', Format.count(items.length - kListLimit))));
        }
        return list;
    }

    // Focus stays inside the dialog while it is open and returns to the trigger afterwards.
    function trapFocus(dialog, event) {
        if (event.key !== 'Tab') return;
        const focusable = Array.from(dialog.querySelectorAll('button, input, [tabindex="0"]'))
                              .filter((e) => !e.disabled);
        if (focusable.length === 0) return;
        const first = focusable[0];
        const last = focusable[focusable.length - 1];
        if (event.shiftKey && document.activeElement === first) {
            event.preventDefault();
            last.focus();
        } else if (!event.shiftKey && document.activeElement === last) {
            event.preventDefault();
            first.focus();
        }
    }

    // dialog({title, titleTip, message, content: Node, checkbox, buttons: [{id, label, kind, focus}]})
    // titleTip: the full text of a title whose data (a path) was shortened.
    //   -> Promise<{id, checked}>; Esc answers {id: 'cancel'}.
    function dialog(options) {
        const trigger = document.activeElement;
        const id = 'dialog-' + Math.random().toString(36).slice(2);
        const backdrop = node('div', 'dialog-backdrop');
        const box = node('div', 'dialog');
        box.setAttribute('role', 'alertdialog');
        box.setAttribute('aria-modal', 'true');
        box.setAttribute('aria-labelledby', id + '-title');
        box.setAttribute('aria-describedby', id + '-body');
        const header = node('div', 'dialog-header');
        const title = node('h2', 'dialog-title', options.title);
        title.id = id + '-title';
        if (options.titleTip) title.title = options.titleTip;
        header.appendChild(title);
        const body = node('div', 'dialog-body');
        body.id = id + '-body';
        if (options.message) body.appendChild(node('p', '', options.message));
        if (options.content) body.appendChild(options.content);
        let checkbox = null;
        if (options.checkbox) {
            const label = node('label', 'dialog-check');
            checkbox = node('input');
            checkbox.type = 'checkbox';
            label.append(checkbox, node('span', '', options.checkbox));
            body.appendChild(label);
        }
        const footer = node('div', 'dialog-footer');
        box.append(header, body, footer);
        backdrop.appendChild(box);

        return new Promise((resolve) => {
            const finish = (answer) => {
                backdrop.remove();
                if (trigger && typeof trigger.focus === 'function') trigger.focus();
                resolve({id: answer, checked: checkbox ? checkbox.checked : false});
            };
            let focusTarget = null;
            for (const choice of options.buttons) {
                const b = node('button', 'button ' + (choice.kind || ''), choice.label);
                b.type = 'button';
                b.dataset.answer = choice.id;
                b.addEventListener('click', () => finish(choice.id));
                footer.appendChild(b);
                if (choice.focus) focusTarget = b;
            }
            box.addEventListener('keydown', (event) => {
                if (event.key === 'Escape') {
                    event.preventDefault();
                    event.stopPropagation();
                    finish('cancel');
                }
                trapFocus(box, event);
            });
            document.body.appendChild(backdrop);
            (focusTarget || footer.querySelector('button')).focus();
        });
    }

    // ask({title, titleTip, items: [{label, detail}], skipped: [{label, reason}], note, dangerLabel})
    //   -> Promise<boolean>. `note` defaults to the irreversibility line; '' leaves it out.
    async function ask(options) {
        const content = node('div');
        const items = options.items || [];
        if (items.length > 0) content.appendChild(itemList(items, true));
        const skipped = options.skipped || [];
        if (skipped.length > 0) {
            content.appendChild(node('p', 'dialog-subtitle', S('confirm.skipped')));
            content.appendChild(itemList(skipped, false));
        }
        const note = options.note === undefined ? S('confirm.permanent') : options.note;
        if (note) {
            const line = node('p', 'dialog-note');
            line.append(Icons.svg('warning', 16), node('span', '', note));
            content.appendChild(line);
        }
        const answer = await dialog({
            title: options.title,
            titleTip: options.titleTip,
            message: options.message,
            content,
            buttons: [
                {id: 'cancel', label: S('common.cancel'), focus: true},
                {id: 'go', label: options.dangerLabel || S('confirm.delete'), kind: options.kind || 'danger'},
            ],
        });
        return answer.id === 'go';
    }

    window.Confirm = Object.freeze({ask, dialog});
})();
