"""The keyboard shortcuts page as a user meets it: opened from Settings, a key changed by pressing
the new one, a key that is already taken refused with a note, Reset to defaults; the main
window follows each change at once, and the page follows a language chosen in the main window.
The page is checked for cut-off or untranslated text in three languages, with screenshots."""
import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

TITLES = {'en-us': 'Keyboard shortcuts', 'de-de': 'Tastenkürzel', 'ja-jp': 'キーボード ショートカット'}
PAGE = 'app/hotkey.html'

# Labelled things that clip, keys left as text, placeholders left in.
LAYOUT_FAULTS = r'''(() => {
    const faults = [];
    for (const e of document.querySelectorAll('[data-i18n], button, kbd, .key-name, .key-note, h1, h2')) {
        if (e.offsetParent === null) continue;
        if (e.scrollWidth > e.clientWidth + 1) faults.push('clipped: ' + e.textContent.trim());
        const text = e.textContent.trim();
        if (/^[a-z]+(\.[A-Za-z]+)+$/.test(text) || text.includes('{0}')) faults.push('raw: ' + text);
    }
    if (document.documentElement.scrollWidth > innerWidth) faults.push('page wider than window');
    return faults;
})()'''


def cap(page, action):
    return page.eval('document.querySelector(\'.key-row[data-action="%s"] .key-cap\').textContent' % action)


def stored(main):
    return json.loads(main.eval('NativeUtil.getSetting("hotkeys", "{}")') or '{}')


def open_from_settings(session, language):
    main = session.main
    main.click('#nav-settings')
    main.wait('document.getElementById("settings-hotkeys") !== null', what='the Settings entry')
    main.screenshot('main-settings-hotkeys-' + language)
    main.click('#settings-hotkeys')
    page = session.attach(PAGE)
    page.wait('document.documentElement.lang === %s && document.querySelectorAll(".key-row .key-cap").length === 13'
              ' && document.title === %s' % (json.dumps(language), json.dumps(TITLES[language])),
              what='shortcuts listed')
    page.wait('document.visibilityState === "visible"', what='shortcuts window shown')
    # The list opens at its top, with the line that says the keys work only in this window.
    assert page.eval('document.querySelector(".hotkey-body").scrollTop') == 0
    assert page.eval('document.getElementById("scope").offsetParent !== null')
    return page


def record(page, action, key, language='en-us'):
    page.click('.key-row[data-action="%s"] .change' % action)
    page.wait('document.querySelector(\'.key-row[data-action="%s"]\').classList.contains("recording")' % action,
              what='recording ' + action)
    page.press(key, window_title=TITLES[language])


def spy_on_rescans(main, section):
    main.eval('(() => { const api = App.section(%s); const base = api.onRefresh; window.__rescans = 0;'
              ' api.onRefresh = (...a) => { window.__rescans += 1; return base(...a); }; })()' % json.dumps(section))


def a_changed_key_reaches_the_main_window_and_reset_restores_it():
    with harness.Session('en-us') as session:
        main = session.main
        page = open_from_settings(session, 'en-us')
        assert [cap(page, a) for a in ('rescan', 'delete', 'stop', 'go.junk')] == ['F5', 'Delete', 'Esc', 'Not set']
        assert page.eval('document.activeElement.classList.contains("change")'), 'focus starts on the first Change'

        # Keyboard only: Enter on the focused Change records, the next key is the answer.
        page.press('Enter', window_title=TITLES['en-us'])
        page.wait('document.querySelector(\'.key-row[data-action="rescan"]\').classList.contains("recording")',
                  what='Enter starts recording')
        page.press('F6', window_title=TITLES['en-us'])
        page.wait('document.querySelector(\'.key-row[data-action="rescan"] .key-cap\').textContent === "F6"',
                  what='F6 recorded')
        assert stored(main)['rescan'] == 'F6'
        main.wait('App.hotkeys().rescan === "F6"', what='the main page re-read its shortcuts')
        page.press('Tab', window_title=TITLES['en-us'])
        focus = page.eval('(() => { const e = document.activeElement; const s = getComputedStyle(e);'
                          ' return [e.className, e.getAttribute("aria-label"), s.outlineStyle, s.outlineWidth]; })()')
        assert focus[0] == 'icon-button' and 'Scan again' in focus[1], focus
        assert focus[2] != 'none' and float(focus[3].rstrip('px')) >= 2, 'no visible focus ring: %r' % focus

        # A key another action has is refused in place; the row keeps recording until Esc.
        record(page, 'rescan', 'Delete')
        note = page.wait('(() => { const n = document.querySelector(\'.key-row[data-action="rescan"] .key-note\');'
                         ' return n.classList.contains("error") ? n.textContent : ""; })()', what='conflict note')
        assert 'Delete' in note and 'Clean or delete what is ticked' in note, note
        page.screenshot('hotkey-page-conflict-en-us')
        page.press('Escape', window_title=TITLES['en-us'])
        page.wait('document.querySelector(".key-row.recording") === null', what='Esc ends recording')
        assert cap(page, 'rescan') == 'F6' and stored(main)['rescan'] == 'F6'
        assert session.process.poll() is None and session.targets(), 'Esc while recording must not close the page'

        # A section jump, unset by default, works once it has a key.
        record(page, 'go.about', 'F2')
        page.wait('document.querySelector(\'.key-row[data-action="go.about"] .key-cap\').textContent === "F2"')
        main.wait('App.hotkeys()["go.about"] === "F2"')

        main.click('#nav-junk')
        main.wait('App.section("junk") && App.section("junk").state().phase === "idle"', what='junk not measured')
        spy_on_rescans(main, 'junk')
        main.press('F5')
        time.sleep(1.0)
        assert main.eval('window.__rescans') == 0, 'F5 still rescans'
        assert main.eval('App.section("junk").state().phase') == 'idle'
        main.press('F6')
        main.wait('App.section("junk").state().phase === "results"', timeout=60, what='F6 measured the junk')
        assert main.eval('window.__rescans') == 1
        main.press('F2')
        main.wait('App.current() === "about"', what='F2 jumps to About')

        page.screenshot('hotkey-page-changed-en-us')
        page.click('#reset')
        page.wait('document.querySelector(\'.key-row[data-action="rescan"] .key-cap\').textContent === "F5"',
                  what='reset shown')
        assert stored(main)['rescan'] == 'F5' and stored(main)['go.about'] == ''
        main.wait('App.hotkeys().rescan === "F5" && App.hotkeys()["go.about"] === ""', what='main page reset')
        main.click('#nav-junk')
        main.wait('App.current() === "junk"')
        main.press('F5')
        main.wait('window.__rescans === 2', what='F5 rescans again')

        # Esc outside recording closes the page.
        page.press('Escape', window_title=TITLES['en-us'])
        deadline = time.monotonic() + 10
        while any(PAGE in t.get('url', '') for t in session.targets()) and time.monotonic() < deadline:
            time.sleep(0.2)
        assert not any(PAGE in t.get('url', '') for t in session.targets()), 'Esc did not close the page'


def the_page_reads_well_in_german_and_japanese():
    for language in ('en-us', 'de-de', 'ja-jp'):
        with harness.Session(language) as session:
            page = open_from_settings(session, language)
            assert page.eval(LAYOUT_FAULTS) == [], language
            page.screenshot('hotkey-page-results-' + language)
            page.click('.key-row[data-action="rescan"] .change')
            page.wait('document.querySelector(".key-row.recording .key-note").textContent', what='recording')
            assert page.eval(LAYOUT_FAULTS) == [], language
            page.screenshot('hotkey-page-recording-' + language)
            page.press('Delete', window_title=TITLES[language])
            page.wait('document.querySelector(".key-note.error") !== null', what='conflict note')
            assert page.eval(LAYOUT_FAULTS) == [], language
            page.screenshot('hotkey-page-error-' + language)


def hotkey_targets(session):
    return [t['id'] for t in session.targets() if t.get('type') == 'page' and PAGE in t.get('url', '')]


def the_open_page_follows_a_language_chosen_in_the_main_window():
    with harness.Session('en-us') as session:
        main = session.main
        page = open_from_settings(session, 'en-us')
        # Opened again from Settings: the open window answers the knock and comes forward; no
        # second window is made, and this one is not replaced (it keeps what it holds).
        first = hotkey_targets(session)
        assert len(first) == 1, first
        page.eval('(() => { window.__kept = true; window.__answers = 0;'
                  ' new BroadcastChannel("pellanor-windows").onmessage = (e) => {'
                  ' if (e.data && e.data.type === "here" && e.data.page === "hotkey") window.__answers += 1; }; })()')
        main.click('#settings-hotkeys')
        page.wait('window.__answers === 1', what='the open page came forward')
        deadline = time.monotonic() + 2
        while time.monotonic() < deadline:
            assert hotkey_targets(session) == first, 'a second open made another window: %r' % session.targets()
            time.sleep(0.2)
        assert page.eval('window.__kept === true'), 'the open page was replaced'
        page.click('.key-row[data-action="delete"] .change')
        # Chosen in Settings: the main page says so over the shell channel, and the page follows
        # without being touched, keeping the row it had the focus on.
        main.eval('(() => { const s = document.getElementById("settings-language-select");'
                  ' s.value = "de-de"; s.dispatchEvent(new Event("change")); })()')
        page.wait('document.title === %s && document.documentElement.lang === "de-de"' % json.dumps(TITLES['de-de']),
                  what='the page in German')
        rows = page.eval('[document.querySelectorAll(".key-row").length,'
                         ' document.activeElement.closest(".key-row").dataset.action,'
                         ' document.querySelector(\'.key-row[data-action="delete"] .key-cap\').textContent]')
        assert rows == [13, 'delete', 'Entf'], rows
        assert page.eval(LAYOUT_FAULTS) == []
        # Stored without a word on the channel (another copy of the main page, say): the page
        # looks again when it gets the focus back.
        main.eval('NativeUtil.setSetting("app_language", "ja-jp")')
        page.leave_and_return(window_title=TITLES['de-de'])
        page.wait('document.title === %s' % json.dumps(TITLES['ja-jp']), what='the page in Japanese after the focus')
        assert page.eval(LAYOUT_FAULTS) == []
        # Every language, with the longest refusal shown: nothing clips or stays a key.
        faults = {}
        for code in harness.LANGUAGES:
            main.eval('App.setLanguage(%s)' % json.dumps(code))
            page.wait('document.documentElement.lang === %s' % json.dumps(code), what='the page in ' + code)
            page.eval('(() => { const n = document.querySelector(\'.key-row[data-action="stop"] .key-note\');'
                      ' n.textContent = MainStrings.t("hotkey.badKey"); n.classList.add("error"); })()')
            found = page.eval(LAYOUT_FAULTS)
            if code == 'th-th':
                page.screenshot('hotkey-page-note-th-th')
            if found:
                faults[code] = found
        assert faults == {}, faults


def press_combo(keys, window_title):
    """A real key press with modifiers, in xdotool's spelling ("ctrl+shift+F7", "a")."""
    windows = subprocess.run(['xdotool', 'search', '--onlyvisible', '--name', '^%s$' % window_title],
                             capture_output=True, text=True).stdout.split()
    assert windows, 'no visible window titled ' + window_title
    subprocess.run(['xdotool', 'windowfocus', '--sync', windows[0]], check=True)
    subprocess.run(['xdotool', 'key', keys], check=True)
    time.sleep(0.05)


# Keys a user may try and be refused: (xdotool keys, the sentence that says why). AltGr is
# Ctrl+Alt on Windows, so Ctrl+Alt+Q would fire whenever a German keyboard types @.
REFUSED = [
    ('a', 'This key can\'t be a shortcut. Use F1–F12, Delete or Insert, or hold Ctrl or Alt with a letter or digit.'),
    ('shift+a', 'This key can\'t be a shortcut. Use F1–F12, Delete or Insert, or hold Ctrl or Alt with a letter or digit.'),
    ('ctrl+c', 'Ctrl+C is kept for Windows and text editing.'),
    ('ctrl+alt+q', 'Ctrl+Alt+Q is kept for Windows and text editing.'),
    ('alt+F4', 'Alt+F4 is kept for Windows and text editing.'),
    ('F5', 'F5 is already used for “Scan again”.'),
]


def refusal_note(action):
    """A page expression: the row's refusal note once it is shown, else ''."""
    return ('(() => { const n = document.querySelector(\'.key-row[data-action="%s"] .key-note\');'
            ' return n.classList.contains("error") ? n.textContent : ""; })()' % action)


def refusals_say_why_and_a_changed_key_survives_a_restart():
    with harness.Session('en-us') as session:
        page = open_from_settings(session, 'en-us')
        title = TITLES['en-us']
        page.click('.key-row[data-action="delete"] .change')
        page.wait('document.querySelector(\'.key-row[data-action="delete"]\').classList.contains("recording")')
        wrong = []
        for keys, said in REFUSED:
            page.eval('document.querySelector(\'.key-row[data-action="delete"] .key-note\').className = "key-note"')
            press_combo(keys, title)
            shown = page.wait(refusal_note('delete'), what='the note for ' + keys)
            still = page.eval('document.querySelector(".key-row.recording") !== null')
            if shown != said or not still:
                wrong.append((keys, shown, still))
        assert wrong == [], wrong
        # None of it was stored, and the main window still knows Delete by its old key.
        assert stored(session.main).get('delete', 'Delete') == 'Delete', stored(session.main)
        page.press('Escape', window_title=title)
        page.wait('document.querySelector(".key-row.recording") === null', what='Esc ends recording')

        # A combination with modifiers, for a section that had no key.
        page.click('.key-row[data-action="go.large"] .change')
        page.wait('document.querySelector(\'.key-row[data-action="go.large"]\').classList.contains("recording")')
        press_combo('ctrl+shift+F7', title)
        page.wait('document.querySelector(\'.key-row[data-action="go.large"] .key-cap\').textContent'
                  ' === "Ctrl+Shift+F7"', what='Ctrl+Shift+F7 recorded')
        assert stored(session.main)['go.large'] == 'Ctrl+Shift+F7', stored(session.main)

        # The program ends and starts again on the same profile, this time in German.
        session.process.terminate()
        session.process.wait(20)
        # Ready once Home is built: the section remembered from before (Settings) may already
        # have replaced it on screen, as it opens right after the ready signal.
        main = session.start(harness.PROGRAM, ['LANG=de-de'], 'main/main.html',
                             'window.App && document.querySelector("#section-home .hero") !== null')
        session.main = main
        assert main.eval('App.hotkeys()["go.large"]') == 'Ctrl+Shift+F7'
        press_combo('ctrl+shift+F7', 'Pellanor')
        main.wait('App.current() === "large"', what='Ctrl+Shift+F7 after the restart')
        page = open_from_settings(session, 'de-de')
        assert cap(page, 'go.large') == 'Strg+Umschalt+F7', cap(page, 'go.large')
        assert cap(page, 'rescan') == 'F5'


if __name__ == '__main__':
    harness.run([a_changed_key_reaches_the_main_window_and_reset_restores_it,
                 the_page_reads_well_in_german_and_japanese,
                 the_open_page_follows_a_language_chosen_in_the_main_window,
                 refusals_say_why_and_a_changed_key_survives_a_restart])
