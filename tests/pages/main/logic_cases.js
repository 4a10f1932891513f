// What the logic pages share: each case answers '' or what went wrong, and Cases.report()
// hands every answer to Probe.report as one JSON object (which ends the test's loop).
(function () {
    'use strict';

    const results = {};
    const pending = [];

    function expectEqual(what, got, want) {
        if (JSON.stringify(got) !== JSON.stringify(want)) {
            throw new Error(what + ': got ' + JSON.stringify(got) + ', want ' + JSON.stringify(want));
        }
    }

    const failure = (error) => String((error && error.message) || error);

    // Runs `fn` as case `name`; an asynchronous case is waited for by report().
    function run(name, fn) {
        results[name] = 'did not finish';
        try {
            const answer = fn();
            if (answer && typeof answer.then === 'function') {
                pending.push(answer.then(() => { results[name] = ''; },
                                         (error) => { results[name] = failure(error); }));
                return;
            }
            results[name] = '';
        } catch (error) {
            results[name] = failure(error);
        }
    }

    async function report() {
        await Promise.all(pending);
        Probe.report(JSON.stringify(results));
    }

    window.Cases = Object.freeze({expectEqual, run, report});
})();
