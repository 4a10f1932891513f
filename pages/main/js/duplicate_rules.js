// Which copies of a duplicate group are ticked for deletion. One rule holds whatever a helper or
// a click asks: a group never has every copy ticked, and a file in a Protected folder is never
// ticked. A group is {files: [{path, modifiedTime, protected, ticked}]}; helpers tick in place
// and answer the indexes of the groups they could not decide, so the page can walk the user
// through them ("Next group to review").
(function () {
    'use strict';

    function untickedOthers(group, file) {
        let count = 0;
        for (const other of group.files) {
            if (other !== file && !other.ticked) ++count;
        }
        return count;
    }

    // Whether `file` may become ticked now (ticked files may always be unticked).
    function canTick(group, file) {
        if (!file || file.protected) return false;
        if (file.ticked) return true;
        return untickedOthers(group, file) > 0;
    }

    function setTicked(group, file, ticked) {
        if (ticked && !canTick(group, file)) return false;
        file.ticked = Boolean(ticked);
        return true;
    }

    // Folder prefix test in the manner of the file system the paths came from: either separator,
    // letter case ignored (the drive's own rule on the reference system).
    function normalisePath(path) {
        return String(path || '').replace(/\\/g, '/').replace(/\/+$/, '').toLowerCase();
    }

    function isInside(path, folder) {
        const base = normalisePath(folder);
        const own = normalisePath(path);
        return base !== '' && (own === base || own.startsWith(base + '/'));
    }

    // Ticks every file of `group` except `keepers`, then guarantees the invariant. Answers
    // whether the group was decided by the rule.
    function keepOnly(group, keepers) {
        for (const file of group.files) file.ticked = false;
        if (keepers.length === 0) return false;
        for (const file of group.files) {
            if (!keepers.includes(file) && !file.protected) file.ticked = true;
        }
        return true;
    }

    // keepBy(groups, pick): pick(files) -> {keep: [files], sure: boolean}.
    function keepBy(groups, pick) {
        const undecided = [];
        groups.forEach((group, index) => {
            const choice = pick(group.files);
            const decided = keepOnly(group, choice.keep);
            if (!decided || !choice.sure) undecided.push(index);
        });
        return undecided;
    }

    // The one file with the extreme key; not sure when several share it (the first is kept).
    function extreme(files, key, better) {
        let best = [];
        for (const file of files) {
            const value = key(file);
            if (best.length === 0 || better(value, key(best[0]))) {
                best = [file];
            } else if (value === key(best[0])) {
                best.push(file);
            }
        }
        return {keep: best.slice(0, 1), sure: best.length === 1};
    }

    // "yyyy-MM-dd hh:mm" sorts as text.
    const time = (file) => String(file.modifiedTime || '');

    function keepNewest(groups) {
        return keepBy(groups, (files) => extreme(files, time, (a, b) => a > b));
    }

    function keepOldest(groups) {
        return keepBy(groups, (files) => extreme(files, time, (a, b) => a < b));
    }

    function keepShortestPath(groups) {
        return keepBy(groups, (files) => extreme(files, (f) => String(f.path).length,
                                                 (a, b) => a < b));
    }

    // Keeps the copies inside `folder`; a group with none there, or with every copy there, is
    // left unticked for review.
    function keepInFolder(groups, folder) {
        return keepBy(groups, (files) => {
            const inside = files.filter((file) => isInside(file.path, folder));
            return {keep: inside, sure: inside.length > 0 && inside.length < files.length};
        });
    }

    // Bytes a group gives back when every copy but one goes ({files: [{freed}]}): the copy kept
    // is the one whose deletion would give least, such as a hard-linked one.
    function reclaimable(group) {
        const freed = group.files.map((file) => Number(file.freed) || 0);
        if (freed.length < 2) return 0;
        return freed.reduce((a, b) => a + b, 0) - Math.min(...freed);
    }

    function clear(groups) {
        for (const group of groups) {
            for (const file of group.files) file.ticked = false;
        }
        return [];
    }

    window.DuplicateRules = Object.freeze({
        canTick,
        setTicked,
        isInside,
        keepNewest,
        keepOldest,
        keepShortestPath,
        keepInFolder,
        reclaimable,
        clear,
    });
})();
