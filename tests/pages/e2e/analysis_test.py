"""The analysis sections as a user drives them on the generated profile: duplicates found, the
newest copies kept and the rest deleted (the disk agrees, one copy per group stays); a folder
and a link to it scanned together giving no group; large files
found above a threshold, a scan stopped, a folder added while one runs; ranges ticked with
Shift and deleted with the Delete key; the duplicate scan's progress panel; a start-up item removed
and restored; the stubborn-folder tool refusing a protected folder."""
import json
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

MIB = 1024 * 1024


def settle(page):
    page.eval('new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)))')


def open_section(page, section, folders_key=None, folders=None):
    if folders_key:
        page.eval('NativeUtil.setSetting(%r, %r)' % (folders_key, json.dumps(folders)))
    page.click('#nav-' + section)
    page.wait('App.current() === %r' % section)


def confirm_dialog(page):
    """The one confirm: answers its title and list, then presses the danger button."""
    page.wait('document.querySelector(".dialog-backdrop .dialog-title") !== null', what='confirm')
    shown = page.eval('({title: document.querySelector(".dialog-title").textContent,'
                      ' tip: document.querySelector(".dialog-title").title,'
                      ' items: Array.from(document.querySelectorAll(".dialog-list li"))'
                      '.map((li) => li.textContent)})')
    page.click('.dialog-footer .button.danger')
    page.wait('document.querySelector(".dialog-backdrop") === null', what='confirm closed')
    return shown


def scan_three_copies(session):
    """Scans the profile's three copies of dups/*/photo.jpg, c the newest (an hour apart, as
    the scanner reports times to the minute); answers their paths."""
    page = session.main
    dups = os.path.join(session.profile.data, 'dups')
    copies = [os.path.join(dups, name, 'photo.jpg') for name in ('a', 'b', 'c')]
    for age, path in zip((3, 2, 1), copies):
        stamp = time.time() - age * 3600
        os.utime(path, (stamp, stamp))
    open_section(page, 'dup', 'dup.folders', [{'path': dups, 'protected': False}])
    page.click('#section-dup .section-tools .button')
    page.wait('App.section("dup").debug.state.scanned && !App.section("dup").debug.session.running',
              what='duplicate scan done')
    return copies


def duplicates_keep_newest_and_delete():
    with harness.Session('en-us') as session:
        page = session.main
        dups = os.path.join(session.profile.data, 'dups')
        copies = scan_three_copies(session)
        groups = page.eval('App.section("dup").debug.state.groups.map((g) => g.files.length)')
        assert groups == [3], groups
        # Nothing is ticked before the user asks.
        assert page.eval('document.querySelector("#section-dup .action-bar .button.danger").disabled')
        page.click_text('#section-dup .button', 'Keep newest')
        settle(page)
        shown = confirm_after(page, lambda: page.click('#section-dup .action-bar .button.danger'))
        assert sorted(shown['items']) == sorted(
            [p for p in copies[:2]]) or all(any(p in item for item in shown['items'])
                                            for p in copies[:2]), shown
        assert len(shown['items']) == 2 and '2 files' in shown['title'], shown
        page.wait('document.querySelector("#section-dup .result") !== null', what='result summary')
        assert [os.path.exists(p) for p in copies] == [False, False, True]
        assert os.path.exists(os.path.join(dups, 'a', 'unique.jpg'))
        for sentinel in session.profile.sentinels:
            assert os.path.exists(sentinel), sentinel
        # The screen agrees with the disk: the group is down to one file, so it is gone.
        assert page.eval('App.section("dup").debug.state.groups.length') == 0
        page.screenshot('main-dup-done-en-us')


def duplicates_of_a_folder_and_its_link_are_no_group():
    """Photos and a link to it, scanned together, with a hard link among the photos: each photo
    is one file, so nothing is a duplicate, nothing can be ticked, and every photo stays."""
    with harness.Session('en-us') as session:
        page = session.main
        photos = os.path.join(session.profile.data, 'Photos')
        link = os.path.join(session.profile.data, 'PhotosLink')
        os.makedirs(os.path.join(photos, 'trip'))
        paths = [os.path.join(photos, name) for name in ('a.jpg', 'b.jpg', 'trip/c.jpg')]
        for index, path in enumerate(paths):
            with open(path, 'wb') as out:
                out.write(bytes([index]) * 4096)
        os.link(paths[0], os.path.join(photos, 'trip', 'a-again.jpg'))
        os.symlink(photos, link)
        open_section(page, 'dup', 'dup.folders', [{'path': photos, 'protected': False},
                                                  {'path': link, 'protected': False}])
        page.click('#section-dup .section-tools .button')
        page.wait('App.section("dup").debug.state.scanned && !App.section("dup").debug.session.running',
                  what='duplicate scan done')
        assert page.eval('App.section("dup").debug.state.groups.length') == 0
        # With no group there is nothing for "Keep shortest path" to tick, nor to delete.
        settle(page)
        assert page.eval('Array.from(document.querySelectorAll("#section-dup .an-helpers button"))'
                         '.find((b) => b.textContent === "Keep shortest path").disabled')
        assert page.eval('document.querySelector("#section-dup .action-bar .button.danger").disabled')
        assert all(os.path.exists(p) for p in paths), paths
        assert os.path.exists(os.path.join(photos, 'trip', 'a-again.jpg'))
        for sentinel in session.profile.sentinels:
            assert os.path.exists(sentinel), sentinel


def slow_tree(session, name, count, seed):
    """Sparse files of one size that differ only in their last bytes: each is read in full,
    which keeps a duplicate scan busy long enough to report progress and to be stopped, on
    little disk."""
    root = session.profile.path(name)
    for i in range(count):
        path = os.path.join(root, 'part%02d.bin' % i)
        harness.write(path, text='')
        with open(path, 'r+b') as out:
            out.seek(64 * MIB - 16)
            out.write(b'%16d' % (seed + i))
    return root


def row_of(page, section, text):
    """Marks the first rendered row of `section` whose text holds `text`; answers its selector."""
    marker = 'e2e-row-' + str(time.monotonic_ns())
    page.wait('(() => { const r = Array.from(document.querySelectorAll("#section-%s .vlist-row"))'
              '.find((n) => !n.hidden && n.textContent.includes(%s)); if (!r) return false;'
              ' r.querySelector(".cell-name").setAttribute("data-e2e", %s); return true; })()'
              % (section, json.dumps(text), json.dumps(marker)), what='row with ' + text)
    return '[data-e2e="%s"]' % marker


def large_files_shift_range_and_delete_key():
    """A click, Shift+Down and the Delete key: the two big files go after one confirm; the small
    file, the other folders and the sentinels stay."""
    with harness.Session('en-us') as session:
        page = session.main
        large = os.path.join(session.profile.data, 'large')
        page.eval('NativeUtil.setSetting("large.minMb", "100")')
        open_section(page, 'large', 'large.folders', [{'path': large}])
        section = 'App.section("large").debug'
        page.press('F5')
        page.wait(section + '.state.scanned && !' + section + '.session.running', what='scan by F5')
        assert page.eval(section + '.state.files.map((f) => f.name)') == ['backup.zip', 'holiday.mp4']
        page.click(row_of(page, 'large', 'backup.zip'))
        page.press('ArrowDown', shift=True)
        settle(page)
        ticked = page.eval(section + '.state.files.filter((f) => f.ticked).map((f) => f.name)')
        assert ticked == ['backup.zip', 'holiday.mp4'], ticked
        page.press('Delete')
        shown = confirm_dialog(page)
        assert shown['title'] == 'Delete 2 files (750\u00a0MB)?' and len(shown['items']) == 2, shown
        page.wait('document.querySelector("#section-large .result") !== null', what='result summary')
        assert not os.path.exists(os.path.join(large, 'backup.zip'))
        assert not os.path.exists(os.path.join(large, 'holiday.mp4'))
        assert os.path.exists(os.path.join(large, 'notes.txt'))
        for sentinel in session.profile.sentinels:
            assert os.path.exists(sentinel), sentinel
        assert page.eval(section + '.state.files.length') == 0


def duplicates_progress_range_and_delete_key():
    """The progress panel counts what a running scan has found, Esc stops it; then F5, a
    Shift+End range over a group of three (one copy is refused, and the page says so) and the
    Delete key: two copies go, one stays on disk with everything else."""
    with harness.Session('en-us') as session:
        page = session.main
        dups = os.path.join(session.profile.data, 'dups')
        copies = [os.path.join(dups, name, 'photo.jpg') for name in ('a', 'b', 'c')]
        # The scan reports after 2 s at the soonest and then runs on, whatever the machine's
        # speed, until Esc stops it.
        slow = [slow_tree(session, 'Slow%d' % k, 16, 100 * k) for k in range(4)]
        open_section(page, 'dup', 'dup.folders', [{'path': p, 'protected': False}
                                                  for p in [dups] + slow])
        section = 'App.section("dup").debug'
        page.click('#section-dup .section-tools .button')
        verb = page.eval('document.querySelector("#section-dup .progress-verb").textContent')
        assert verb == 'Comparing files in 5 folders', verb
        # Reports come every 2 s at most; the panel counts groups, their files and the space.
        counts = page.wait('(() => { const c = document.querySelector("#section-dup .progress-counts");'
                           ' return c && c.textContent.includes("group") ? c.textContent : ""; })()',
                           timeout=30, what='counts in the progress panel')
        assert counts.startswith('1 group \u00b7 3 files \u00b7 14.8\u00a0KB reclaimable'), counts
        assert 'elapsed' in counts, counts
        assert page.eval('document.querySelector("#section-dup .progress-panel .bar")'
                         '.classList.contains("indeterminate")')
        page.screenshot('main-dup-progress-en-us')
        page.press('Escape')
        page.wait('!' + section + '.session.running', timeout=60, what='scan stopped by Esc')
        banner = page.eval('document.querySelector("#section-dup .banner").textContent')
        assert banner == 'Stopped: the results are partial.', banner
        page.eval('for (let i = 0; i < 4; ++i) %s.chips.remove(1)' % section)

        page.press('F5')
        page.wait(section + '.state.scanned && !' + section + '.session.running', timeout=60,
                  what='scan by F5')
        assert page.eval(section + '.state.groups.map((g) => g.files.length)') == [3]
        # Row 0 is the group's header; the range starts on its first copy.
        page.eval(section + '.list.focusIndex(1)')
        page.press('End', shift=True)
        settle(page)
        ticked = page.eval(section + '.state.groups[0].files.map((f) => f.ticked)')
        assert ticked == [True, True, False], ticked
        note = page.eval('document.querySelector("#section-dup .an-note").textContent')
        assert note == 'One copy always stays.', note
        kept = page.eval(section + '.state.groups[0].files[2].path')
        # A click on the last copy's box is refused as well, and Delete works from the box.
        page.click('#section-dup .vlist-row[data-index="3"] [data-action=tick]')
        settle(page)
        assert page.eval(section + '.state.groups[0].files.map((f) => f.ticked)') == [True, True, False]
        assert page.eval('document.activeElement.dataset.action') == 'tick'
        page.press('Delete')
        shown = confirm_dialog(page)
        assert len(shown['items']) == 2 and shown['title'].startswith('Delete 2 files'), shown
        page.wait('document.querySelector("#section-dup .result") !== null', what='result summary')
        assert [os.path.exists(p) for p in copies].count(True) == 1
        assert os.path.exists(kept), kept
        assert os.path.exists(os.path.join(dups, 'a', 'unique.jpg'))
        for sentinel in session.profile.sentinels:
            assert os.path.exists(sentinel), sentinel


def confirm_after(page, action):
    action()
    return confirm_dialog(page)


def large_files_threshold_stop_and_add():
    with harness.Session('en-us') as session:
        page = session.main
        large = os.path.join(session.profile.data, 'large')
        # A wide tree keeps the scan running long enough to stop it and to add a folder to it:
        # the add saves the folder list first, which may wait for the disk, and 3,000 folders
        # were sometimes walked by then (the added folder then belongs to the next scan).
        wide = session.profile.path('Wide')
        for i in range(20000):
            os.makedirs(os.path.join(wide, 'd%04d' % i, 'x'), exist_ok=True)
        extra = session.profile.path('Extra')
        harness.write(os.path.join(extra, 'movie.mkv'), 120 * MIB)
        page.eval('NativeUtil.setSetting("large.minMb", "500")')
        open_section(page, 'large', 'large.folders', [{'path': large}])
        section = 'App.section("large").debug'
        page.click('#section-large .section-tools .button')
        page.wait(section + '.state.scanned && !' + section + '.session.running', what='scan done')
        names = page.eval(section + '.state.files.map((f) => f.name)')
        assert names == ['backup.zip'], names
        # Nothing ticked by default.
        assert page.eval(section + '.state.files.every((f) => !f.ticked)')

        page.eval('(() => { const s = document.querySelector("#section-large select");'
                  ' s.value = "100"; s.dispatchEvent(new Event("change")); })()')
        page.eval(section + '.chips.add(%r)' % wide)
        # Start over the wide tree, add a folder while it runs (the path Add folder takes),
        # then Esc. The final report is "stopped", or "done" when the tree was already walked;
        # either way the page ends the scan and says which.
        # Start, add and stop in one go, as fast as a user could not: the tree is walked fast.
        accepted = page.eval('''(() => {
            const d = %s;
            document.querySelector("#section-large .section-tools .button").click();
            const taken = d.chips.add(%r) && d.session.running;
            document.dispatchEvent(new KeyboardEvent("keydown", {key: "Escape", keyCode: 27, bubbles: true}));
            return taken; })()''' % (section, extra))
        page.wait('!' + section + '.session.running', timeout=60, what='scan ended')
        banner = page.eval('(() => { const b = document.querySelector("#section-large .banner");'
                           ' return b && !b.hidden ? b.textContent : ""; })()')
        names = page.eval(section + '.state.files.map((f) => f.name)')
        print('  stop: banner %r, add taken while running %r, files %r' % (banner, accepted, names))
        if 'partial' in banner:
            assert set(names) <= {'holiday.mp4', 'backup.zip', 'movie.mkv'}, names
        else:
            assert {'holiday.mp4', 'backup.zip', 'movie.mkv'} <= set(names), names
        # Scanned again without a stop: every folder, the added one included.
        page.click('#section-large .section-tools .button')
        page.wait(section + '.state.scanned && !' + section + '.session.running', timeout=60,
                  what='full scan')
        names = page.eval(section + '.state.files.map((f) => f.name)')
        assert names == ['backup.zip', 'holiday.mp4', 'movie.mkv'], names
        page.screenshot('main-large-after-stop-en-us')


def large_files_move_selected():
    """Two files moved through the folder picker: one lands in the target; the other meets a
    file of its name there, so both copies stay as they were and the page lists it as failed."""
    with harness.Session('en-us') as session:
        page = session.main
        large = os.path.join(session.profile.data, 'large')
        holiday, backup = (os.path.join(large, n) for n in ('holiday.mp4', 'backup.zip'))
        target = session.profile.path('Archive', 'Old projects and holiday videos')
        clash = session.profile.add_sentinel(os.path.join(target, 'backup.zip'), 'older backup')
        with open(holiday, 'rb') as source:
            head = source.read(4096)
        page.eval('NativeUtil.setSetting("large.minMb", "100")')
        open_section(page, 'large', 'large.folders', [{'path': large}])
        section = 'App.section("large").debug'
        page.click('#section-large .section-tools .button')
        page.wait(section + '.state.scanned && !' + section + '.session.running', what='scan done')
        assert page.eval(section + '.state.files.map((f) => f.name)') == ['backup.zip', 'holiday.mp4']
        for name in ('backup.zip', 'holiday.mp4'):
            page.eval('Array.from(document.querySelectorAll("#section-large .vlist-row"))'
                      '.find((r) => r.textContent.includes(%r))'
                      '.querySelector("[data-action=tick]").setAttribute("data-e2e-tick", %r)'
                      % (name, name))
            page.click('[data-e2e-tick="%s"]' % name)
            settle(page)
        ticked = page.eval(section + '.state.files.filter((f) => f.ticked).map((f) => f.name)')
        assert sorted(ticked) == ['backup.zip', 'holiday.mp4'], ticked

        page.click_text('#section-large .action-bar .button', 'Move')
        picker = session.attach('app/pick.html')
        # The places are drawn after the buttons are wired; the path field is there before.
        picker.wait('document.querySelector("#places .place") !== null', what='the picker')
        picker.eval('document.getElementById("path").value = %s' % json.dumps(target))
        picker.click('#add')
        picker.eval('setTimeout(() => document.getElementById("use").click(), 50); null')
        shown = confirm_dialog(page)
        # A long target is shortened in the middle in the title and kept whole in its tooltip.
        assert shown['title'].startswith('Move 2 files (750\u00a0MB) to '), shown
        assert shown['tip'] == target and '\u2026' in shown['title'], shown
        assert len(shown['items']) == 2, shown
        page.wait('document.querySelector("#section-large .result") !== null', what='result summary')
        page.screenshot('main-large-moved-en-us')
        summary = page.eval('(() => { const r = document.querySelector("#section-large .result");'
                            ' return {title: r.querySelector(".result-title").textContent,'
                            ' to: r.querySelector(".result-detail").title,'
                            ' failed: r.querySelector("summary").textContent}; })()')
        assert summary == {'title': 'Moved 1 file (150\u00a0MB)', 'to': target,
                           'failed': '1 file could not be moved'}, summary

        moved = os.path.join(target, 'holiday.mp4')
        assert os.path.exists(moved) and not os.path.exists(holiday)
        assert os.path.getsize(moved) == 150 * MIB
        with open(moved, 'rb') as landed:
            assert landed.read(4096) == head
        # The clash: nothing overwritten, nothing lost.
        assert os.path.exists(backup) and os.path.getsize(backup) == 600 * MIB
        with open(clash, encoding='utf-8') as kept:
            assert kept.read() == 'older backup'
        result = page.eval('document.querySelector("#section-large .result").textContent')
        assert 'backup.zip' in result, result
        for sentinel in session.profile.sentinels:
            assert os.path.exists(sentinel), sentinel


def startup_item_removed_and_restored():
    with harness.Session('en-us') as session:
        page = session.main
        startup = os.path.join(session.profile.roaming, 'Microsoft', 'Windows', 'Start Menu',
                               'Programs', 'Startup')
        item = os.path.join(startup, 'Notes.desktop')
        harness.write(item, text='[Desktop Entry]\nExec=notes\n')
        open_section(page, 'startup')
        page.wait('document.querySelectorAll("#section-startup .startup-row").length > 0',
                  what='start-up list')
        page.click_text('#section-startup .startup-row .button', 'Remove from startup')
        shown = confirm_dialog(page)
        assert 'Notes.desktop' in shown['title'], shown
        page.wait('document.querySelector("#section-startup .subsection-title").hidden === false',
                  what='removed list')
        assert not os.path.exists(item)
        page.click_text('#section-startup .button', 'Restore')
        page.wait('document.querySelector("#section-startup .subsection-title").hidden === true',
                  what='restored')
        assert os.path.exists(item)


def stubborn_folder_refuses_the_profile():
    with harness.Session('en-us') as session:
        page = session.main
        open_section(page, 'tools')
        for path, refused in ((session.profile.home, True), ('C:\\', True),
                              ('C:\\Windows\\System32', True),
                              (os.path.join(session.profile.data, 'large'), False)):
            page.eval('(() => { const f = document.querySelector("#tool-folder input");'
                      ' f.value = %r; f.dispatchEvent(new Event("input")); })()' % path)
            disabled = page.eval('document.querySelector("#tool-folder .button.danger").disabled')
            assert disabled == refused, (path, disabled)
        assert os.path.isdir(session.profile.home)


if __name__ == '__main__':
    harness.run([large_files_move_selected, duplicates_keep_newest_and_delete,
                 duplicates_of_a_folder_and_its_link_are_no_group, large_files_threshold_stop_and_add,
                 large_files_shift_range_and_delete_key, duplicates_progress_range_and_delete_key,
                 startup_item_removed_and_restored, stubborn_folder_refuses_the_profile])
