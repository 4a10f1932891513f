// Removes (or moves) many files without freezing the window: each native call is synchronous,
// so the work runs in slices of at most 12 ms with a frame between them, the current file is
// reported and a stop takes effect after the file in hand. Files that fail are answered, never
// dropped, so the page can keep them listed.
//
// DeleteFiles.run(files, {onProgress({current, done, count, bytes}), shouldStop(), operation})
//   -> Promise<{removed: [...], failed: [...], stopped: boolean}>
// `operation(file)` defaults to removeFile(file.path) and answers true on success.
(function () {
    'use strict';

    const kSliceMs = 12;

    function removeFile(file) {
        return AnalysisKit.native('removeFile', [file.path], false) === true;
    }

    // requestAnimationFrame does not run while the window is hidden to the tray, and work must go
    // on there too: whichever of a frame or a short timer comes first resumes the loop.
    function nextFrame() {
        return new Promise((resolve) => {
            let settled = false;
            const go = () => {
                if (settled) return;
                settled = true;
                resolve();
            };
            requestAnimationFrame(go);
            setTimeout(go, 50);
        });
    }

    async function run(files, options) {
        const opts = Object.assign({}, options);
        // A caller that passes {operation: undefined} still means "remove".
        if (typeof opts.operation !== 'function') opts.operation = removeFile;
        const list = Array.isArray(files) ? files : [];
        const result = {removed: [], failed: [], stopped: false};
        let index = 0;
        let bytes = 0;
        while (index < list.length) {
            const start = performance.now();
            while (index < list.length && performance.now() - start < kSliceMs) {
                if (opts.shouldStop && opts.shouldStop()) {
                    result.stopped = true;
                    return result;
                }
                const file = list[index++];
                let ok = false;
                try {
                    ok = opts.operation(file) === true;
                } catch (error) {
                    ok = false;
                }
                if (ok) {
                    result.removed.push(file);
                    bytes += Number(file.size) || 0;
                } else {
                    result.failed.push(file);
                }
            }
            if (opts.onProgress) {
                opts.onProgress({current: list[index - 1], done: index, count: list.length, bytes,
                                 fraction: index / list.length});
            }
            await nextFrame();
        }
        if (opts.shouldStop && opts.shouldStop() && index < list.length) result.stopped = true;
        return result;
    }

    window.DeleteFiles = Object.freeze({run});
})();
