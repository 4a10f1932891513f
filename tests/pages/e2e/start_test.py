"""Starting the program: the splash steps aside for the main page, Home shows the drives, and
the language can be switched live."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402


def opens_home_and_signals_ready():
    with harness.Session('en-us') as session:
        page = session.main
        assert page.eval('document.documentElement.lang') == 'en-us'
        assert page.eval('document.querySelector("#section-home .section-title").textContent') == 'Home'
        # The shell's contract: tray window opened, then the ready signal.
        session.attach('main/tray.html')
        page.wait('NativeUtil.isMainWindowReady()', what='ready signal')
        log = session.log_text()
        assert 'main page ready' in log, log[-2000:]
        assert page.eval('document.querySelector("#nav-home").getAttribute("aria-current")') == 'page'
        page.screenshot('main-home-results-en-us')


def switches_language_live():
    with harness.Session('en-us') as session:
        page = session.main
        for code, title in (('de-de', 'Startseite'), ('ja-jp', 'ホーム')):
            page.eval('App.setLanguage(%r)' % code)
            page.wait('document.documentElement.lang === %r' % code)
            assert page.eval('document.querySelector("#section-home .section-title").textContent') == title
            assert page.eval('NativeUtil.getSetting("app_language", "")') == code
            page.screenshot('main-home-results-' + code)


if __name__ == '__main__':
    harness.run([opens_home_and_signals_ready, switches_language_live])
