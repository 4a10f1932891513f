// The progress panel of scans and cleanings: what is being done, the current item, counts,
// elapsed time, a bar and Stop. Updates only touch a state object; one animation frame writes
// the DOM, and number texts change at most four times a second.
(function () {
    'use strict';

    const kTextIntervalMs = 250;
    const S = (key, ...args) => MainStrings.t(key, ...args);
    let latest = null;

    // verb, current and countText may be functions that build the text: the panel calls them at
    // each paint, so a language switch during long work is followed at once.
    const textOf = (value) => (typeof value === 'function' ? value() : value);

    function node(tag, className) {
        const element = document.createElement(tag);
        if (className) element.className = className;
        return element;
    }

    class Panel {
        constructor(container, options) {
            this.options = options || {};
            this.state = {current: '', count: null, bytes: null, fraction: null, countKey: null};
            // A panel painted for a scan already under way counts from the scan's start.
            this.started = Number(this.options.startedAt) || Date.now();
            this.lastText = 0;
            this.frame = 0;
            this.root = node('div', 'progress-panel');
            this.verb = node('div', 'progress-verb');
            this.verb.textContent = textOf(this.options.verb) || S('progress.working');
            this.current = node('div', 'progress-current');
            this.counts = node('div', 'progress-counts');
            this.bar = node('div', 'bar indeterminate');
            this.bar.setAttribute('role', 'progressbar');
            this.bar.setAttribute('aria-valuemin', '0');
            this.bar.setAttribute('aria-valuemax', '100');
            this.bar.setAttribute('aria-label', this.verb.textContent);
            this.fill = node('div', 'bar-fill');
            this.bar.appendChild(this.fill);
            this.stop = node('button', 'button');
            this.stop.type = 'button';
            this.stop.textContent = S('action.stop');
            this.stop.hidden = typeof this.options.onStop !== 'function';
            this.stop.addEventListener('click', () => this.requestStop());
            this.root.append(this.verb, this.stop, this.current, this.counts, this.bar);
            container.prepend(this.root);
            this.timer = setInterval(() => this.schedule(true), 1000);
            this.relabel = () => this.schedule(true);
            document.addEventListener('pellanor-language', this.relabel);
            this.schedule(true);
        }

        requestStop() {
            if (this.stopping) return;
            this.stopping = true;
            this.stop.disabled = true;
            this.stop.textContent = S('progress.stopping');
            this.options.onStop();
        }

        update(values) {
            Object.assign(this.state, values || {});
            this.schedule(false);
            return this;
        }

        schedule(force) {
            if (force) this.lastText = 0;
            if (this.frame) return;
            this.frame = requestAnimationFrame(() => {
                this.frame = 0;
                this.render();
            });
        }

        render() {
            const {current, count, bytes, fraction} = this.state;
            const determinate = typeof fraction === 'number' && Number.isFinite(fraction);
            this.bar.classList.toggle('indeterminate', !determinate);
            if (determinate) {
                const clamped = Math.max(0, Math.min(1, fraction));
                this.fill.style.transform = 'scaleX(' + clamped + ')';
                this.bar.setAttribute('aria-valuenow', String(Math.round(clamped * 100)));
            } else {
                this.fill.style.transform = '';
                this.bar.removeAttribute('aria-valuenow');
            }
            const now = Date.now();
            if (now - this.lastText < kTextIntervalMs) return;
            this.lastText = now;
            this.verb.textContent = textOf(this.options.verb) || S('progress.working');
            this.bar.setAttribute('aria-label', this.verb.textContent);
            this.stop.textContent = S(this.stopping ? 'progress.stopping' : 'action.stop');
            const currentText = textOf(current) || '';
            this.current.textContent = currentText ? Format.middle(currentText, 90) : '';
            this.current.title = currentText;
            const parts = [];
            if (typeof count === 'number') parts.push(textOf(this.state.countText) || MainStrings.plural('progress.items', count));
            if (typeof bytes === 'number') parts.push(Format.size(bytes));
            parts.push(S('progress.elapsed', Format.elapsed((now - this.started) / 1000)));
            this.counts.textContent = parts.join(' · ');
            this.bar.setAttribute('aria-valuetext', parts.slice(0, -1).join(', ') || this.verb.textContent);
        }

        finish() {
            clearInterval(this.timer);
            document.removeEventListener('pellanor-language', this.relabel);
            if (this.frame) cancelAnimationFrame(this.frame);
            this.frame = 0;
        }

        // The final "stopped" report came: the partial results stay, and say so.
        stopped() {
            this.finish();
            this.root.remove();
            return this;
        }

        failed() {
            this.finish();
            this.bar.classList.remove('indeterminate');
            this.bar.classList.add('failed');
            this.stop.hidden = true;
            return this;
        }

        done() {
            this.finish();
            this.root.remove();
            return this;
        }
    }

    function show(container, options) {
        latest = new Panel(container, options);
        return latest;
    }

    // A banner for results cut short by Stop.
    function partialBanner(container) {
        const banner = node('div', 'banner warning');
        banner.setAttribute('role', 'status');
        banner.append(Icons.svg('warning', 16), Object.assign(node('span', 'banner-text'),
                                                              {textContent: S('progress.partial')}));
        container.prepend(banner);
        return banner;
    }

    window.Progress = Object.freeze({
        show,
        partialBanner,
        update: (values) => latest && latest.update(values),
        stopped: () => latest && latest.stopped(),
        done: () => latest && latest.done(),
    });
})();
