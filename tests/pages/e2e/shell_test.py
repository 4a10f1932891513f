"""The window as a keyboard user and the tray menu meet it: every control is reached with Tab
and shows a visible ring, the navigation is one stop moved with the arrows, Esc closes dialogs;
the tray's commands reach the main page and the menu hides afterwards; the folder picker
answers the page that opened it."""
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

ACTIVE = r'''(() => {
    const e = document.activeElement;
    if (!e || e === document.body) return null;
    const style = getComputedStyle(e);
    return {id: e.id, text: (e.textContent || '').trim().slice(0, 40), tag: e.tagName,
            section: (e.closest('section.section') || {}).id || '',
            nav: Boolean(e.closest('.nav')), bar: Boolean(e.closest('.action-bar')),
            ring: style.outlineStyle !== 'none' && parseFloat(style.outlineWidth) >= 2};
})()'''


def walk(page, steps):
    seen = []
    for _ in range(steps):
        page.tab()
        seen.append(page.eval(ACTIVE))
    return seen


def keyboard_reaches_everything_with_a_visible_ring():
    with harness.Session('en-us') as session:
        page = session.main
        page.eval('document.activeElement && document.activeElement.blur()')
        seen = walk(page, 24)
        # Tab never stops on nothing (the window itself, outside the page): the round goes from
        # the last control straight back to the title bar.
        assert None not in seen, seen
        cycle = seen[:seen.index(seen[0], 1)] if seen[0] in seen[1:] else seen
        tabbable = page.eval('Array.from(document.querySelectorAll("button, input, select, textarea, [tabindex]"))'
                             '.filter((e) => !e.disabled && e.tabIndex >= 0 && e.offsetParent !== null).length')
        assert len(cycle) == tabbable, 'reached %d of %d controls: %r' % (len(cycle), tabbable, cycle)
        assert all(s['ring'] for s in cycle), [s for s in cycle if not s['ring']]
        ids = [s['id'] for s in cycle]
        assert ids[:3] == ['minimize', 'close', 'nav-home'], ids[:3]
        assert sum(1 for s in cycle if s['nav']) == 1, 'the navigation must be a single Tab stop'
        # Shift+Tab from the title bar goes round the other way, to the last control.
        page.eval('document.getElementById("minimize").focus()')
        page.tab(shift=True)
        assert page.eval(ACTIVE) == cycle[-1], (page.eval(ACTIVE), cycle[-1])
        # Arrows move within the navigation, Enter opens the section.
        page.eval('document.getElementById("nav-home").focus()')
        page.press('ArrowDown')
        assert page.eval('document.activeElement.id') == 'nav-junk'
        page.enter()
        page.wait('App.current() === "junk"', what='Enter opens the section')
        # The section header's action comes right after the navigation.
        page.tab()
        assert page.eval(ACTIVE)['section'] == 'section-junk'
        # Esc closes a dialog and gives the focus back.
        page.eval('PellanorUI.show("junk", "results")')
        page.eval('document.querySelector("#section-junk .action-bar .button.primary").focus()')
        page.enter()
        page.wait('document.querySelector(".dialog-backdrop") !== null', what='confirm dialog')
        assert page.eval('document.activeElement.dataset.answer') == 'cancel'
        page.tab()
        page.tab()
        assert page.eval('Boolean(document.activeElement.closest(".dialog"))'), 'focus escaped the dialog'
        page.press('Escape')
        page.wait('document.querySelector(".dialog-backdrop") === null', what='Esc closes the dialog')
        assert page.eval('document.activeElement.closest(".action-bar") !== null'), 'focus did not return'
        page.screenshot('main-keyboard-focus-en-us')


def tray_commands_reach_the_main_page():
    with harness.Session('de-de') as session:
        main = session.main
        tray = session.attach('main/tray.html')
        tray.wait('document.querySelector(".tray-item svg") !== null && document.documentElement.lang === "de-de"',
                  what='tray menu built in German')
        labels = tray.eval('Array.from(document.querySelectorAll(".tray-item")).map((b) => b.textContent.trim())')
        assert labels == ['Pellanor öffnen', 'Datenmüll bereinigen …', 'Große Dateien',
                          'Nach Updates suchen', 'Einstellungen', 'Beenden'], labels
        assert tray.eval('document.body.scrollWidth <= innerWidth'), 'a tray label is cut off'
        tray.eval('HostWindow.show()')
        tray.screenshot('tray-menu-results-de-de')
        tray.click('[data-command=settings]')
        main.wait('App.current() === "settings"', what='Settings opened from the tray')
        tray.eval('HostWindow.show()')
        tray.click('[data-command=clean]')
        main.wait('App.current() === "junk"', what='Junk opened from the tray')
        # The tray only opens and measures: nothing is cleaned without the user's confirmation.
        main.wait('document.querySelectorAll("#section-junk .row").length === 9', what='measured')
        assert os.path.exists(session.profile.junk['temp'][0])


def folder_picker_answers_its_caller():
    with harness.Session('en-us') as session:
        main = session.main
        main.eval('window.__picked = null; FolderPicker.open().then((f) => (window.__picked = f)); null')
        picker = session.attach('app/pick.html')
        picker.wait('document.querySelectorAll("#places .button").length >= 5', what='places')
        # A name the ANSI code page mangled is refused with a hint, not added.
        picker.eval('document.getElementById("path").value = "C:\\\\Users\\\\Ana\\\\??"')
        picker.click('#add')
        assert picker.eval('document.getElementById("path-note").textContent') != ''
        assert picker.eval('document.querySelectorAll("#chosen .row-path").length') == 0
        folder = session.profile.data
        picker.eval('document.getElementById("path").value = %s' % json.dumps(folder))
        picker.click('#add')
        picker.click_text('#places .button', 'Downloads')
        picker.screenshot('pick-folders-results-en-us')
        # The picker closes itself as the button is released, so the click is the page's own.
        picker.eval('setTimeout(() => document.getElementById("use").click(), 50); null')
        picked = main.wait('window.__picked', what='the picked folders')
        assert picked == [folder, '%USERPROFILE%\\Downloads'], picked
        recent = main.eval('JSON.parse(NativeUtil.getSetting("recentFolders", "[]"))')
        assert recent[:2] == picked, recent


def settings_change_at_once_and_persist():
    with harness.Session('en-us') as session:
        page = session.main
        page.click('#nav-settings')
        page.wait('document.querySelector("[data-setting=\'settings.startOnBoot\']") !== null', what='settings')
        page.click("[data-setting='settings.startOnBoot']")
        page.wait('document.querySelector("[data-setting=\'settings.startOnBoot\']")'
                  '.getAttribute("aria-checked") === "true"', timeout=30, what='start with Windows on')
        assert page.eval('NativeUtil.isStartupOnBoot()') is True
        page.click("[data-setting='settings.tray']")
        assert page.eval('NativeUtil.getSetting("minimizeOnClose", "")') == '0'
        # The language list names each language in its own words and switches at once.
        options = page.eval('Array.from(document.querySelectorAll("#settings-language-select option")).map((o) => o.textContent)')
        assert 'Deutsch' in options and '日本語' in options and 'ไทย' in options, options
        page.eval('const s = document.getElementById("settings-language-select"); s.value = "fr-fr";'
                  ' s.dispatchEvent(new Event("change")); null')
        page.wait('document.querySelector("#section-settings .section-title").textContent === "Paramètres"')
        assert page.eval('NativeUtil.getSetting("app_language", "")') == 'fr-fr'
        page.screenshot('main-settings-changed-fr-fr')


def close_explains_the_tray_once_and_hides():
    with harness.Session('en-us') as session:
        page = session.main
        page.click('#close')
        page.wait('document.querySelector(".dialog-backdrop [data-answer=ok]") !== null', what='tray explanation')
        page.screenshot('main-close-dialog-en-us')
        page.click('.dialog-check input')
        page.click('.dialog-backdrop [data-answer=ok]')
        page.wait('document.visibilityState === "hidden"', what='window hidden to the tray')
        assert session.process.poll() is None, 'closing must not end the program'
        assert 'WM_CLOSE intercepted, minimize to tray' in session.log_text()
        assert page.eval('NativeUtil.getSetting("closeHintSeen", "0")') == '1'


if __name__ == '__main__':
    harness.run([keyboard_reaches_everything_with_a_visible_ring, tray_commands_reach_the_main_page,
                 folder_picker_answers_its_caller, settings_change_at_once_and_persist,
                 close_explains_the_tray_once_and_hides])
