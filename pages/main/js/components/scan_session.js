// One asynchronous file scan as the page sees it. The native worker calls us from its thread
// with the whole result so far (several MB of JSON for 60,000 files), so only the newest raw
// event is kept and at most one is parsed per frame; the final event is never dropped.
//
// new ScanSession({start(callback) -> id, stop(id), add(id, folder) -> bool,
//                  onProgress(data), onEnd(type, data|null)})
// .begin(), .stop(), .add(folder), .running, .stopping, .startedAt
(function () {
    'use strict';

    function parse(text) {
        try {
            return JSON.parse(String(text));
        } catch (error) {
            return null;
        }
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
            this.pending = null;
            this.scheduled = false;
        }

        begin() {
            this.running = true;
            this.stopping = false;
            this.pending = null;
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
            const type = event && String(event.type);
            if (type === 'progress') {
                this.pending = event;
                if (!this.scheduled) {
                    this.scheduled = true;
                    soon(() => this.flush());
                }
                return;
            }
            this.pending = null;
            this.running = false;
            this.stopping = false;
            const data = type === 'error' ? null : parse(event.data);
            this.handlers.onEnd(type === 'done' || type === 'stopped' ? type : 'error', data);
        }

        flush() {
            this.scheduled = false;
            const event = this.pending;
            this.pending = null;
            if (!event || !this.running) return;
            const data = parse(event.data);
            if (data) this.handlers.onProgress(data);
        }

        stop() {
            if (!this.running || this.stopping) return;
            this.stopping = true;
            this.handlers.stop(this.id);
        }

        add(folder) {
            return this.running && !this.stopping && this.handlers.add(this.id, folder) === true;
        }
    }

    window.ScanSession = ScanSession;
})();
