// One asynchronous file scan as the page sees it. The native worker calls us from its thread
// with the whole result so far (several MB of JSON for 60,000 files), so only the newest raw
// event is kept and at most one is parsed per frame; the final event is never dropped.
//
// A session given `liveRows` does not parse progress reports whole: a report of 60,000 rows
// takes longer to parse than a frame lasts. It reads the first `liveRows` records of its "list"
// and counts and sums the rest in slices of a few milliseconds, one slice per frame, and hands
// onProgress {list: first rows, count, bytes}.
//
// Such a session reads the final report in slices too (a 60,000-row report takes longer to
// parse whole than a task may last): the records are parsed a few hundred at a time, each
// passed through `prepare` when given, between short tasks; onEnd gets {list: prepared rows,
// prepared: true, ...the report's other keys}. The session stays running (and `ending`) until
// then, so the scan cannot be restarted under it.
//
// A session given `finalKey` instead reads only its final report in slices, the records under
// that key (progress reports of such a scan are small enough to parse whole); onEnd gets them
// prepared under the same key.
//
// new ScanSession({start(callback) -> id, stop(id), add(id, folder) -> bool, liveRows, finalKey,
//                  prepare, onProgress(data), onEnd(type, data|null)})
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

    const kSliceMs = 6;

    function isSpace(c) {
        return c === 32 || c === 10 || c === 13 || c === 9;
    }

    function skipSpace(text, i) {
        while (i < text.length && isSpace(text.charCodeAt(i))) ++i;
        return i;
    }

    // Where the report's own `name` array ("list" unless told) opens, or -1: the first such key
    // must be a key of the report itself (not a string value, nor the key of an object inside
    // another member) and its value an array. Only the text before that key is walked.
    function listOpen(text, name = 'list') {
        const quoted = '"' + name + '"';
        const key = text.indexOf(quoted);
        if (key < 0) return -1;
        let depth = 0;
        let inString = false;
        for (let i = 0; i < key; ++i) {
            const c = text.charCodeAt(i);
            if (inString) {
                if (c === 92) ++i;
                else if (c === 34) inString = false;
            } else if (c === 34) {
                inString = true;
            } else if (c === 123 || c === 91) {
                ++depth;
            } else if (c === 125 || c === 93) {
                --depth;
            }
        }
        if (inString || depth !== 1) return -1;
        const colon = skipSpace(text, key + quoted.length);
        if (text.charCodeAt(colon) !== 58) return -1;
        const open = skipSpace(text, colon + 1);
        return text.charCodeAt(open) === 91 ? open : -1;
    }

    // The end of the first `count` objects of the report's list, found by walking the text with
    // string and nesting state; only the head of the text is walked.
    function headOfList(text, count) {
        const open = listOpen(text);
        if (open < 0) return null;
        let depth = 0;
        let inString = false;
        let found = 0;
        for (let i = open + 1; i < text.length; ++i) {
            const c = text.charCodeAt(i);
            if (inString) {
                if (c === 92) ++i;  // backslash: the next character is escaped
                else if (c === 34) inString = false;
            } else if (c === 34) {
                inString = true;
            } else if (c === 123 || c === 91) {
                ++depth;
            } else if (c === 125 || c === 93) {
                if (depth === 0) return {open, end: i + 1, complete: true};  // the list's own ]
                if (--depth === 0 && ++found === count) return {open, end: i + 1, complete: false};
            }
        }
        return null;
    }

    // Reads a progress report in slices: calls done({list, count, bytes}) or done(null) when
    // the text is not a list report. Each record has one "size" key (a quote inside a JSON
    // string is escaped, so the pattern never matches inside a name or a path).
    function readLive(text, rows, next, done) {
        const head = headOfList(text, rows);
        if (!head) return done(null);
        let list;
        try {
            list = JSON.parse(text.slice(head.open, head.end) + (head.complete ? '' : ']'));
        } catch (error) {
            return done(null);
        }
        if (head.complete) {
            return done({list, count: list.length, bytes: list.reduce((s, r) => s + (Number(r.size) || 0), 0)});
        }
        const pattern = /"size"\s*:\s*(-?\d+(?:\.\d+)?(?:[eE][+-]?\d+)?)/g;
        pattern.lastIndex = head.open;
        let count = 0;
        let bytes = 0;
        const slice = () => {
            const until = performance.now() + kSliceMs;
            for (let n = 0; ; ++n) {
                const match = pattern.exec(text);
                if (!match) return done({list, count, bytes});
                ++count;
                bytes += Number(match[1]);
                if ((n & 255) === 255 && performance.now() > until) return next(slice);
            }
        };
        slice();
    }

    const kFinalSliceMs = 8;
    const kChunkChars = 64 * 1024;

    // The first place at or after `from` where the list's records end at a record boundary: the
    // comma after a record or the list's own ], walked with string and nesting state.
    function recordsEnd(text, start, from) {
        let depth = 0;
        let inString = false;
        for (let i = start; i < text.length; ++i) {
            const c = text.charCodeAt(i);
            if (inString) {
                if (c === 92) ++i;
                else if (c === 34) inString = false;
            } else if (c === 34) {
                inString = true;
            } else if (c === 123 || c === 91) {
                ++depth;
            } else if (c === 125 || c === 93) {
                if (depth === 0) return i;
                --depth;
            } else if (c === 44 && depth === 0 && i >= from) {
                return i;
            }
        }
        return -1;
    }

    // Reads a final report in slices: each slice parses records for up to kFinalSliceMs, a chunk
    // of about kChunkChars at a time. A chunk is cut at the first } past its length and parsed as
    // an array; that only succeeds when the cut is a record's end (a } inside a string leaves
    // the string open, an inner object's } leaves one open), else the chunk is walked. Calls
    // done(data) with data.list prepared, or with the report parsed whole when its text is not
    // a list report the slicing can follow. The records are those under `name`, "list" unless
    // told.
    function readFinal(text, prepare, next, done, name = 'list') {
        const whole = () => {
            const data = parse(text);
            if (data && Array.isArray(data[name]) && prepare) {
                data[name] = data[name].map(prepare);
                data.prepared = true;
            }
            done(data);
        };
        const open = listOpen(text, name);
        if (open < 0) return whole();
        const rows = [];
        let pos = open + 1;
        const skip = (i) => skipSpace(text, i);
        const finish = (close) => {
            const rest = parse(text.slice(0, open) + '[]' + text.slice(close + 1));
            if (!rest || !Array.isArray(rest[name])) return whole();
            rest[name] = rows;
            if (prepare) rest.prepared = true;
            done(rest);
        };
        const slice = () => {
            const until = performance.now() + kFinalSliceMs;
            for (;;) {
                pos = skip(pos);
                if (pos >= text.length) return whole();
                if (text.charCodeAt(pos) === 93) return finish(pos);  // the list's own ]
                let chunk = null;
                let end = text.indexOf('}', pos + kChunkChars);
                if (end >= 0) {
                    const after = skip(end + 1);
                    const c = text.charCodeAt(after);
                    if (c === 44 || c === 93) {
                        try {
                            chunk = JSON.parse('[' + text.slice(pos, end + 1) + ']');
                            end = after;
                        } catch (error) {
                            chunk = null;
                        }
                    }
                }
                if (!chunk) {
                    end = recordsEnd(text, pos, Math.min(text.length, pos + kChunkChars));
                    if (end < 0) return whole();
                    try {
                        chunk = JSON.parse('[' + text.slice(pos, end) + ']');
                    } catch (error) {
                        return whole();
                    }
                }
                for (const record of chunk) rows.push(prepare ? prepare(record) : record);
                // end is at the comma after the chunk or at the list's ].
                if (text.charCodeAt(end) === 93) return finish(end);
                pos = end + 1;
                if (performance.now() > until) return next(slice);
            }
        };
        slice();
    }

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
            this.pending = null;
            this.scheduled = false;
            this.ending = false;
        }

        begin() {
            this.reading = false;
            this.ending = false;
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
            const ending = type === 'done' || type === 'stopped' ? type : 'error';
            const key = this.handlers.finalKey || (this.handlers.liveRows ? 'list' : '');
            if (ending !== 'error' && key && !this.ending) {
                const generation = this.generation;
                this.ending = true;
                readFinal(String(event.data), this.handlers.prepare, nextTask, (data) => {
                    if (generation !== this.generation) return;
                    this.end(ending, data);
                }, key);
                return;
            }
            this.end(ending, ending === 'error' ? null : parse(event.data));
        }

        end(type, data) {
            this.running = false;
            this.stopping = false;
            this.ending = false;
            this.handlers.onEnd(type, data);
        }

        flush() {
            this.scheduled = false;
            if (this.reading) return;
            const event = this.pending;
            this.pending = null;
            if (!event || !this.running || this.ending) return;
            const rows = this.handlers.liveRows;
            if (!rows) {
                const data = parse(event.data);
                if (data) this.handlers.onProgress(data);
                return;
            }
            const generation = this.generation;
            this.reading = true;
            readLive(String(event.data), rows, (slice) => soon(slice), (summary) => {
                this.reading = false;
                if (generation !== this.generation || !this.running || this.ending) return;
                const data = summary || parse(event.data);
                if (data) this.handlers.onProgress(data);
                // A newer report came in while this one was read.
                if (this.pending && !this.scheduled) {
                    this.scheduled = true;
                    soon(() => this.flush());
                }
            });
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

    ScanSession.readLive = readLive;
    ScanSession.readFinal = readFinal;
    window.ScanSession = ScanSession;
})();
