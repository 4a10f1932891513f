// Removes (or moves) many files through one native job: the page hands the whole list once and
// the program checks each file against what the scan saw, removes it on a worker thread and
// reports a few times a second. Files that fail are answered with the reason, never dropped,
// so the page can keep them listed.
//
// DeleteFiles.run(files, {onProgress({current, done, count, bytes, fraction}), shouldStop(),
//                         target, keepOf(file) -> [files that stay]})
//   -> Promise<{removed: [...], failed: [...], stopped, done, count, freedBytes}>
// With `target` (a folder) the files are moved there instead. Each failed file gets
// `failure`, a reason code: changed, inUse, accessDenied, notFound, targetExists, error.
(function () {
    'use strict';

    // The job stops within 0.2 s of being asked; the page looks at its Stop this often.
    const kStopPollMs = 50;

    function native(name, args, fallback) {
        return AnalysisKit.native(name, args, fallback);
    }

    // What the scan saw of a file, for the program to check it against before it goes.
    function seen(file) {
        const entry = {path: String(file.path), size: Number(file.size) || 0};
        if (file.modifiedMsecs !== undefined) entry.modifiedMsecs = Number(file.modifiedMsecs);
        if (file.fileId !== undefined) entry.fileId = String(file.fileId);
        return entry;
    }

    function entries(list, keepOf) {
        return list.map((file) => {
            const entry = seen(file);
            if (keepOf) entry.keep = (keepOf(file) || []).map(seen);
            return entry;
        });
    }

    function parse(text) {
        try {
            return JSON.parse(String(text));
        } catch (error) {
            return null;
        }
    }

    // Each file's outcome, by its place in the list; a file the document does not mention failed.
    function collect(list, data, type) {
        const outcomes = data && Array.isArray(data.files) ? data.files : [];
        const result = {removed: [], failed: [], stopped: type === 'stopped',
                        done: Number(data && data.done) || 0, count: list.length,
                        freedBytes: Number(data && data.freedBytes) || 0};
        list.forEach((file, i) => {
            const outcome = outcomes[i] || {};
            if (outcome.outcome === 'deleted' || outcome.outcome === 'moved') {
                result.removed.push(file);
                delete file.failure;
            } else if (outcome.outcome !== 'pending' || !result.stopped) {
                file.failure = String(outcome.reason || 'error');
                result.failed.push(file);
            }
        });
        return result;
    }

    function run(files, options) {
        const opts = Object.assign({}, options);
        const list = Array.isArray(files) ? files : [];
        const jobOptions = opts.target ? {mode: 'move', target: String(opts.target)} : {mode: 'delete'};
        return new Promise((resolve) => {
            if (list.length === 0) {
                resolve(collect(list, null, 'done'));
                return;
            }
            let poll = 0;
            const finish = (data, type) => {
                clearInterval(poll);
                resolve(collect(list, data, type));
            };
            const id = native('startDeleteFiles', [JSON.stringify(entries(list, opts.keepOf)),
                                                   JSON.stringify(jobOptions), (event) => {
                const type = String(event && event.type);
                if (type === 'progress') {
                    const done = Number(event.done) || 0;
                    if (opts.onProgress) {
                        opts.onProgress({current: {path: String(event.current || '')}, done,
                                         count: list.length, bytes: Number(event.bytes) || 0,
                                         fraction: done / list.length});
                    }
                    return;
                }
                finish(parse(event && event.data), type);
            }], 0);
            if (!id) {
                finish(null, 'error');
                return;
            }
            let asked = false;
            poll = setInterval(() => {
                if (!asked && opts.shouldStop && opts.shouldStop()) {
                    asked = true;
                    native('stopDeleteFiles', [id], false);
                }
            }, kStopPollMs);
        });
    }

    window.DeleteFiles = Object.freeze({run});
})();
