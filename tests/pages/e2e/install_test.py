"""The installer and the uninstaller on a generated profile: install into it, the installed copy
starts, the shortcut and the start-at-logon entry exist when chosen; uninstall from the installed
copy removes the folder, the shortcut and the entry, keeps or removes the settings as chosen, and
nothing beside the folder; a foreign folder is refused; a copy that was not installed removes
nothing. Screenshots of every step in en-us, de-de and ja-jp."""
import glob
import json
import os
import subprocess
import time

import harness

INSTALLER = 'installer/installer.html'
UNINSTALLER = 'unstaller/unstaller.html'
INSTALLER_READY = 'window.Installer && document.getElementById("next") !== null && ' \
                  '!document.documentElement.classList.contains("i18n-pending")'
UNINSTALLER_READY = 'window.Uninstaller && (Uninstaller.state().phase === "refused" || ' \
                    '!document.querySelector("[data-panel=ask]").hidden)'


def wait_for(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.2)
    raise AssertionError('timed out waiting for ' + what)


def set_folder(page, path):
    page.eval('(() => { const f = document.getElementById("folder"); f.value = %s;'
              ' f.dispatchEvent(new Event("input")); })()' % json.dumps(path))


def click_closing(page, selector):
    """Clicks a button that closes the page's window. The click runs after this call has had its
    answer: the inspector's connection ends with the window."""
    page.eval('setTimeout(() => document.querySelector(%s).click(), 100); true'
              % json.dumps(selector))


def shot(page, name, language):
    page.eval('document.fonts.ready.then(() => true)')
    time.sleep(0.2)
    page.screenshot('install-%s-%s' % (name, language))


def setting(session, key):
    """The stored setting as the program reads it (through pellanor-cli), None when absent."""
    cli = os.path.join(os.path.dirname(harness.PROGRAM), 'pellanor-cli')
    answer = subprocess.run([cli, 'getSetting', key, '<absent>'], env=session.env, timeout=60,
                            capture_output=True, text=True, check=True).stdout
    value = json.loads(answer)
    return None if value == '<absent>' else value


def install(session, language, programs, logon, shortcut=True):
    """Runs the three steps into programs/Pellanor; answers the install folder."""
    page = session.main
    target = os.path.join(programs, 'Pellanor')
    # The default is the programs folder joined with the product's folder.
    page.wait('document.getElementById("folder").value === %s' % json.dumps(target),
              what='default folder')
    page.wait('document.getElementById("folder-note").textContent !== ""', what='folder verdict')
    shot(page, 'folder', language)
    page.click('#next')
    page.wait('!document.querySelector("[data-panel=options]").hidden', what='options step')
    page.eval('document.getElementById("opt-shortcut").checked = %s;'
              'document.getElementById("opt-logon").checked = %s; true'
              % (json.dumps(shortcut), json.dumps(logon)))
    shot(page, 'options', language)
    page.click('#next')
    page.wait('Installer.state().installed !== null && !Installer.state().busy', timeout=60,
              what='install finished')
    assert page.eval('Installer.state().installed') is True, page.eval(
        'document.getElementById("result").textContent')
    shot(page, 'done', language)
    return target


def check_installed(target):
    names = set(os.listdir(target))
    for needed in ('Pellanor', 'libsciter.so', 'pages', 'Pellanor.install'):
        assert needed in names, needed + ' missing from ' + repr(sorted(names))
    # Build leftovers of the running copy's folder are not part of the program.
    for unwanted in ('pellanor-cli', 'CMakeFiles', 'libpellanor_app.a'):
        assert unwanted not in names, unwanted + ' copied'
    assert os.access(os.path.join(target, 'Pellanor'), os.X_OK)
    assert os.path.isfile(os.path.join(target, 'pages', 'installer', 'installer.html'))
    assert os.path.isfile(os.path.join(target, 'pages', 'main', 'main.html'))


def running_from(folder):
    pids = []
    for exe in glob.glob('/proc/[0-9]*/exe'):
        try:
            if os.readlink(exe).startswith(folder + os.sep):
                pids.append(int(exe.split('/')[2]))
        except OSError:
            pass
    return pids


def uninstall(session, language, target, keep, reason):
    page = session.start(os.path.join(target, 'Pellanor'), ['LANG=' + language, '--uninstall'],
                         UNINSTALLER, UNINSTALLER_READY)
    assert page.eval('Uninstaller.state().phase') == 'ask', page.eval('document.body.innerText')
    page.eval('document.getElementById("keep").checked = %s;'
              'document.getElementById("reason").value = %s; true'
              % (json.dumps(keep), json.dumps(reason)))
    shot(page, 'uninstall-ask', language)
    page.click('#go')
    page.wait('!Uninstaller.state().busy && !document.getElementById("result").hidden',
              timeout=60, what='uninstall finished')
    shot(page, 'uninstall-done', language)
    text = page.eval('document.getElementById("result").textContent')
    assert target in text, text
    uninstaller = session.process
    click_closing(page, '#cancel')  # Close: the process ends, then the folder goes
    uninstaller.wait(20)
    wait_for(lambda: not os.path.exists(target), 20, 'the install folder to be removed')


def full_cycle(language, logon, keep, reason):
    with harness.Session(language, args=['--install'], page=INSTALLER,
                         ready=INSTALLER_READY) as session:
        programs = session.profile.programs
        session.profile.add_sentinel(os.path.join(programs, 'beside.txt'))
        # The profile's outside.txt is a sentinel in the folder above programs.
        target = install(session, language, programs, logon)
        check_installed(target)
        desktop_entry = session.profile.path('Desktop', 'Pellanor.desktop')
        with open(desktop_entry, encoding='utf-8') as entry:
            assert os.path.join(target, 'Pellanor') in entry.read()

        installer = session.process
        click_closing(session.main, '#next')  # Finish: starts the installed copy, closes the installer
        installer.wait(20)
        wait_for(lambda: running_from(target), 20, 'the installed copy to run')
        wait_for(lambda: 'main window ready event signaled' in session.log_text(), 40,
                 'the installed copy to be ready')
        autostart = os.path.join(session.profile.home, '.config', 'autostart',
                                 'PellanorStartup.desktop')
        if logon:
            wait_for(lambda: os.path.exists(autostart), 20, 'the autostart entry')
            with open(autostart, encoding='utf-8') as entry:
                assert os.path.join(target, 'Pellanor') in entry.read()
        else:
            assert not os.path.exists(autostart)
        # Written by the installed copy's main page; cleared once seen: the pending request.
        assert setting(session, 'minimizeOnClose') == '1'
        assert setting(session, 'install.startAtLogon') in ('', None)

        uninstall(session, language, target, keep, reason)
        # The running installed copy was asked to quit.
        wait_for(lambda: not running_from(target), 20, 'the installed copy to quit')
        assert not os.path.exists(desktop_entry)
        assert not os.path.exists(autostart)
        kept = setting(session, 'minimizeOnClose')
        assert kept == ('1' if keep else None), 'minimizeOnClose after uninstall: %r' % kept
        for sentinel in session.profile.sentinels:
            assert os.path.exists(sentinel), sentinel + ' was removed'
        assert os.path.isdir(programs)
        log = session.log_text()
        assert 'ON msg WM_CLOSE_THIS_APP' in log
        # An answer is sent only when one was written (the service is unreachable here).
        assert ('uninstall.step.feedback' in log) == (reason != ''), 'feedback sent wrongly'


def test_install_start_uninstall_en():
    full_cycle('en-us', logon=True, keep=False, reason='')


def test_install_start_uninstall_de():
    full_cycle('de-de', logon=True, keep=True, reason='Zu langsam')


def test_install_uninstall_ja_without_logon():
    full_cycle('ja-jp', logon=False, keep=True, reason='')


def test_refusals():
    with harness.Session('en-us', args=['--install'], page=INSTALLER,
                         ready=INSTALLER_READY) as session:
        page = session.main
        foreign = os.path.join(session.profile.programs, 'Foreign')
        kept = session.profile.add_sentinel(os.path.join(foreign, 'notes.txt'))
        link = os.path.join(session.profile.programs, 'Linked')
        os.symlink(session.profile.documents, link)
        build = os.path.dirname(harness.PROGRAM)
        cases = [
            (foreign, 'install.refuse.foreign'),
            (link, 'install.refuse.notFolder'),
            (session.profile.home, 'install.refuse.profile'),
            (os.path.dirname(session.profile.home), 'install.refuse.profile'),
            ('/', 'install.refuse.root'),
            ('C:\\', 'install.refuse.root'),
            ('\\\\server\\share', 'install.refuse.root'),
            ('C:\\Windows\\Pellanor', 'install.refuse.system'),
            ('C:\\Program Files', 'install.refuse.system'),
            ('/usr/local/Pellanor', 'install.refuse.system'),
            (build, 'install.refuse.own'),
            (os.path.join(build, 'pages', 'x'), 'install.refuse.own'),
            ('Pellanor', 'install.refuse.relative'),
            ('%USERPROFILE%\\Pellanor', 'install.refuse.relative'),
            (os.path.join(session.profile.programs, '..', 'x'), 'install.refuse.relative'),
            ('', 'install.refuse.empty'),
            (os.path.join(session.profile.programs, 'New'), ''),
            (session.profile.programs, 'install.refuse.system'),
        ]
        for path, expected in cases:
            verdict = page.eval('Installer.checkFolder(%s).refusal' % json.dumps(path))
            assert verdict == expected, '%r: %r, wanted %r' % (path, verdict, expected)
        set_folder(page, foreign)
        page.wait('document.getElementById("next").disabled', what='Next disabled')
        shot(page, 'refused', 'en-us')
        page.click('#next')
        time.sleep(0.5)
        assert page.eval('document.querySelector("[data-panel=folder]").hidden') is False
        assert os.listdir(foreign) == ['notes.txt']
        assert os.path.exists(kept)
        click_closing(page, '#cancel')
        session.process.wait(20)

        # The program run from a folder its installer did not fill removes nothing.
        page = session.start(harness.PROGRAM, ['LANG=en-us', '--uninstall'], UNINSTALLER,
                             UNINSTALLER_READY)
        assert page.eval('Uninstaller.state().phase') == 'refused'
        assert page.eval('document.getElementById("go").hidden') is True
        shot(page, 'uninstall-refused', 'en-us')
        click_closing(page, '#cancel')
        session.process.wait(20)
        assert os.path.exists(harness.PROGRAM)
        assert not glob.glob(os.path.join(session.profile.temp, 'pellanor_uninstall_*'))


if __name__ == '__main__':
    harness.run([test_refusals, test_install_start_uninstall_en, test_install_start_uninstall_de,
                 test_install_uninstall_ja_without_logon])
