"""Duplicates deleted after the disk changed behind the program's back: a ticked copy edited
(now unique), then in a second round the kept copy moved away. Delete loses nothing: the changed
copies stay on disk, stay listed unticked, and their rows and the summary say why."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from analysis_test import confirm_after, scan_three_copies, settle  # noqa: E402

DUP = 'App.section("dup").debug'


def scan_and_keep_newest(session):
    """Scans the three copies (c the newest) and ticks a and b; answers their paths."""
    page = session.main
    copies = scan_three_copies(session)
    page.click_text('#section-dup .button', 'Keep newest')
    settle(page)
    ticked = page.eval(DUP + '.state.groups[0].files.filter((f) => f.ticked).map((f) => f.path)')
    assert sorted(ticked) == sorted(copies[:2]), ticked
    return copies


def delete_ticked(page):
    confirm_after(page, lambda: page.click('#section-dup .action-bar .button.danger'))
    page.wait('document.querySelector("#section-dup .result") !== null', what='result summary')
    settle(page)
    return page.eval('(() => { const r = document.querySelector("#section-dup .result");'
                     ' return {title: r.querySelector(".result-title").textContent,'
                     ' failed: Array.from(r.querySelectorAll(".result-failed li"))'
                     '.map((li) => li.textContent)}; })()')


def listed(page):
    """Each listed file: its path, tick, and the text in its date column."""
    return page.eval(DUP + '.state.groups.flatMap((g) => g.files.map((f) => ({path: f.path,'
                     ' ticked: f.ticked, failure: f.failure || null})))')


def edited_copy_is_kept():
    with harness.Session('en-us') as session:
        page = session.main
        a, b, c = scan_and_keep_newest(session)
        with open(a, 'a') as out:
            out.write('an edit made after the scan')
        summary = delete_ticked(page)
        assert os.path.exists(a) and not os.path.exists(b) and os.path.exists(c)
        with open(a) as edited:
            assert edited.read().endswith('an edit made after the scan')
        assert len(summary['failed']) == 1 and a in summary['failed'][0], summary
        assert summary['failed'][0].endswith('Changed since the scan'), summary
        rows = {f['path']: f for f in listed(page)}
        assert rows[a] == {'path': a, 'ticked': False, 'failure': 'changed'}, rows
        shown = page.eval('Array.from(document.querySelectorAll("#section-dup .vlist-row.is-failed"))'
                          '.map((r) => r.textContent)')
        assert len(shown) == 1 and 'Changed since the scan' in shown[0], shown
        for sentinel in session.profile.sentinels:
            assert os.path.exists(sentinel), sentinel
        page.screenshot('main-dup-stale-edited-en-us')


def moved_kept_copy_saves_both():
    with harness.Session('en-us') as session:
        page = session.main
        a, b, c = scan_and_keep_newest(session)
        elsewhere = session.profile.path('Elsewhere')
        os.makedirs(elsewhere, exist_ok=True)
        os.rename(c, os.path.join(elsewhere, 'photo.jpg'))
        summary = delete_ticked(page)
        assert os.path.exists(a) and os.path.exists(b), 'a ticked copy went with no copy left'
        assert len(summary['failed']) == 2, summary
        assert all(f.endswith('Changed since the scan') for f in summary['failed']), summary
        assert not any(f['ticked'] for f in listed(page))


if __name__ == '__main__':
    harness.run([edited_copy_is_kept, moved_kept_copy_saves_both])
