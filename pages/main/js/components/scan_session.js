// One asynchronous file scan as the page sees it. The native worker calls us from its thread
// with reports that carry counts and only what is new since the previous one, at most a couple
// of thousand rows each (startScanLargeFilesIncremental, startScanDuplicateFilesIncremental).
// No report may be dropped, so each is queued and folded in order: a task parses reports whole
// and hands each to the section's `fold` for a few milliseconds, then yields; the section
// paints what it has folded at most once a frame (onProgress). The final report is folded like
// the others, then onEnd gets its data (null when it could not be read) in the next task. The session stays
// running (and `ending`) until then, so the scan cannot be restarted under it.
//
// new ScanSession({start(callback) -> id, stop(id), add(id, folder) -> bool, fold(data, final),
//                  onProgress(), onEnd(type, data|null)})
// .begin(), .stop(), .add(folder), .running, .stopping, .ending, .startedAt
(function () {
    'use strict';

    function parse(text) {
        try {
            return JSON.parse(String(text));
        } catch (error) {
            return null;
        }
    }

    // A report of 2,000 records parses and folds in a few milliseconds: a task takes reports
    // until this much time went, so a burst of them never makes a long task.
    const kSliceMs = 8;

    // The next task without the clamping of nested timers, and without waiting for a frame.
    const channel = new MessageChannel();
    const queued = [];
    channel.port1.onmessage = () => queued.shift()();
    function nextTask(fn) {
        queued.push(fn);
        channel.port2.postMessage(0);
    }

    // A frame, or a short timer while the window is hidden to the tray (no frames then).
    function soon(fn) {
        let done = false;
        const go = () => {
            if (done) return;
            done = true;
            fn();
        };
        requestAnimationFrame(go);
        setTimeout(go, 100);
    }

    class ScanSession {
        constructor(handlers) {
            this.handlers = handlers;
            this.id = 0;
            this.running = false;
            this.stopping = false;
            this.ending = false;
            this.reports = [];
            this.draining = false;
            this.painting = false;
            this.folded = false;
        }

        begin() {
            this.ending = false;
            this.running = true;
            this.stopping = false;
            this.reports = [];
            this.folded = false;
            this.startedAt = Date.now();
            const generation = (this.generation = (this.generation || 0) + 1);
            // Events of an older scan may still arrive after a new one started: ignored.
            const id = this.handlers.start((event) => {
                if (generation === this.generation) this.receive(event);
            });
            this.id = Number(id) || 0;
            if (this.id <= 0) {
                this.running = false;
                this.handlers.onEnd('error', null);
            }
            return this.id;
        }

        receive(event) {
            // Nothing comes after the final report.
            if (!this.running || this.ending) return;
            if (!event || String(event.type) !== 'progress') this.ending = true;
            this.reports.push(event);
            if (this.draining) return;
            this.draining = true;
            const generation = this.generation;
            nextTask(() => this.drain(generation));
        }

        // Folds queued reports in arrival order until the slice is spent or the final report
        // ended the scan.
        drain(generation) {
            this.draining = false;
            if (generation !== this.generation || !this.running) return;
            const until = performance.now() + kSliceMs;
            while (this.reports.length > 0) {
                const event = this.reports.shift();
                const type = event && String(event.type);
                if (type !== 'progress') {
                    this.reports = [];
                    const ending = type === 'done' || type === 'stopped' ? type : 'error';
                    const data = ending === 'error' ? null : parse(event.data);
                    if (data) this.handlers.fold(data, true);
                    // The section's end (a sort and a new table) gets a task of its own.
                    nextTask(() => {
                        if (generation === this.generation) this.end(ending, data);
                    });
                    return;
                }
                const data = parse(event.data);
                if (data) {
                    this.handlers.fold(data);
                    this.folded = true;
                }
                if (performance.now() > until) break;
            }
            if (this.reports.length > 0) {
                this.draining = true;
                nextTask(() => this.drain(generation));
            }
            if (this.folded && !this.painting) {
                this.painting = true;
                soon(() => this.paint(generation));
            }
        }

        paint(generation) {
            this.painting = false;
            if (generation !== this.generation || !this.running || this.ending) return;
            this.folded = false;
            this.handlers.onProgress();
        }

        end(type, data) {
            this.running = false;
            this.stopping = false;
            this.ending = false;
            this.handlers.onEnd(type, data);
        }

        stop() {
            if (!this.running || this.stopping || this.ending) return;
            this.stopping = true;
            this.handlers.stop(this.id);
        }

        add(folder) {
            return this.running && !this.stopping && !this.ending &&
                this.handlers.add(this.id, folder) === true;
        }
    }

    window.ScanSession = ScanSession;
})();
