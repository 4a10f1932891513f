"""The installer and the uninstaller on a generated profile: install into it, the installed copy
starts, the shortcut and the start-at-logon entry exist when chosen; uninstall from the installed
copy removes the files the install wrote (by its manifest), the shortcut and the entry, keeps or
removes the settings as chosen, and leaves a file the user added to the folder and everything
beside it; a foreign folder is refused; a copy that was not installed removes
nothing. The installed copy is listed among the installed programs (icon, version, size); its
Uninstall in the Programs section opens the installed copy's uninstaller, which removes the entry
with the rest; a reinstall rewrites the one entry, and a second folder is refused while the
listed install lives. Step lines and results follow a language chosen while the window is open.
A marker in a profile, the programs folder or a shared parent licenses no removal. Screenshots of
every step in en-us, de-de and th-th (the longest script), and after a switch to ja-jp."""
import contextlib
import datetime
import glob
import json
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from main_sections_test import confirm_dialog, open_section  # noqa: E402
from main_system_test import cli, press_uninstall  # noqa: E402

INSTALLER = 'installer/installer.html'
UNINSTALLER = 'unstaller/unstaller.html'
INSTALLER_READY = 'window.Installer && document.getElementById("next") !== null && ' \
                  '!document.documentElement.classList.contains("i18n-pending")'
UNINSTALLER_READY = 'window.Uninstaller && (Uninstaller.state().phase === "refused" || ' \
                    '!document.querySelector("[data-panel=ask]").hidden)'
UNINSTALL_KEY = 'HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall'
ENTRY = UNINSTALL_KEY + '\\Pellanor'


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


def installed_tree(folder):
    """Every file and folder below `folder`, relative, folders ending in '/'."""
    found = set()
    for root, folders, files in os.walk(folder):
        relative = os.path.relpath(root, folder)
        prefix = '' if relative == '.' else relative + '/'
        found.update(prefix + name + '/' for name in folders)
        found.update(prefix + name for name in files)
    return found


def check_manifest(target):
    """The manifest lists exactly what the install wrote, besides itself and the marker."""
    with open(os.path.join(target, 'Pellanor.manifest'), encoding='utf-8') as manifest:
        lines = manifest.read().splitlines()
    assert lines[0].startswith('# Pellanor install manifest 1'), lines[0]
    listed = set(lines[1:])
    on_disk = installed_tree(target) - {'Pellanor.install', 'Pellanor.manifest'}
    assert listed == on_disk, {'not listed': sorted(on_disk - listed)[:5],
                               'not there': sorted(listed - on_disk)[:5]}


def add_user_files(session, target):
    """Files the user put into the install folder, one beside the program and one among its
    pages: the uninstall leaves both, and the folders holding them."""
    return [session.profile.add_sentinel(os.path.join(target, 'my notes.txt')),
            session.profile.add_sentinel(os.path.join(target, 'pages', 'main', 'mine.css'))]


def check_only_user_files_left(target, user_files):
    assert installed_tree(target) == {'my notes.txt', 'pages/', 'pages/main/', 'pages/main/mine.css'}, \
        sorted(installed_tree(target))[:10]
    for path in user_files:
        assert os.path.exists(path), path + ' was removed'


def check_installed(target):
    check_manifest(target)
    names = set(os.listdir(target))
    for needed in ('Pellanor', 'libsciter.so', 'pages', 'Pellanor.install', 'Pellanor.manifest'):
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


def switch_language(session, page, language):
    """The language chosen in the main page meanwhile: stored, then seen when the window gets
    the focus back."""
    cli(session.env, 'setSetting', 'app_language', language)
    page.leave_and_return(window_title=page.eval('document.title'))
    page.wait('Locale.current() === %s' % json.dumps(language), what='the language ' + language)


UNINSTALL_TEXTS = (
    '({tasks: Array.from(document.querySelectorAll("#tasks li")).map((li) =>'
    '   [li.querySelector(".task-name").textContent, li.querySelector(".task-state").textContent]),'
    ' expected: Uninstaller.state().tasks.map((t) => [MainStrings.t(t.key), MainStrings.t('
    '   t.outcome === "skipped" ? "uninstall.state.skipped" : t.outcome === false ?'
    '   "uninstall.state.failed" : "uninstall.state.done")]),'
    ' title: document.getElementById("result-title").textContent,'
    ' lines: document.getElementById("result-lines").textContent})')


def check_uninstall_texts(page, before):
    """Every step line, state and result text is the current language's; none is left from
    `before` (the texts shown in the earlier language)."""
    shown = page.eval(UNINSTALL_TEXTS)
    assert shown['tasks'] == shown['expected'] and shown['tasks'], shown
    if before is not None:
        assert not set(map(tuple, shown['tasks'])) & set(map(tuple, before['tasks'])), (shown, before)
        assert shown['title'] != before['title'] and shown['lines'] != before['lines'], (shown, before)
    return shown


def uninstall(session, language, target, keep, reason, switch_to=None):
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
    if switch_to:
        before = check_uninstall_texts(page, None)
        switch_language(session, page, switch_to)
        check_uninstall_texts(page, before)
        shot(page, 'uninstall-done-switched', switch_to)
    uninstaller = session.process
    click_closing(page, '#cancel')  # Close: the process ends, then the installed files go
    uninstaller.wait(20)
    wait_for(lambda: not os.path.exists(os.path.join(target, 'Pellanor.install')), 20,
             'the installed files to be removed')


def entry_value(session, name):
    return cli(session.env, 'getRegistryString', ENTRY, name)


def folder_kib(folder):
    total = 0
    for root, _, files in os.walk(folder):
        total += sum(os.lstat(os.path.join(root, name)).st_size for name in files
                     if not os.path.islink(os.path.join(root, name)))
    return -(-total // 1024)


def check_entry(session, target):
    """The installed-programs entry describes the install in `target`, and nothing else."""
    program = os.path.join(target, 'Pellanor')
    expected = {
        'DisplayName': 'Pellanor',
        'DisplayVersion': session.main.eval('NativeUtil.nativeVersion'),
        'Publisher': 'Pellanor',
        # An executable has no picture of its own here: the logo installed with the pages.
        'DisplayIcon': os.path.join(target, 'pages', 'installer', 'img', 'pellanor.png'),
        'UninstallString': '"%s" --uninstall' % program,
        'InstallLocation': target,
        'InstallDate': datetime.date.today().strftime('%Y%m%d'),
        'EstimatedSize': str(folder_kib(target)),
        'NoModify': '1',
        'NoRepair': '1',
        'QuietUninstallString': '',
        'SystemComponent': '',
    }
    found = {name: entry_value(session, name) for name in expected}
    assert found == expected, json.dumps({'found': found, 'expected': expected}, indent=1)


def full_cycle(language, logon, keep, reason, switch_to=None, foreign_entry=False):
    """`foreign_entry`: the entry names another install folder by the time of the uninstall (as
    an older version's installer could leave it), so it is that install's and stays."""
    with harness.Session(language, args=['--install'], page=INSTALLER,
                         ready=INSTALLER_READY) as session:
        programs = session.profile.programs
        session.profile.add_sentinel(os.path.join(programs, 'beside.txt'))
        # The profile's outside.txt is a sentinel in the folder above programs.
        target = install(session, language, programs, logon)
        check_installed(target)
        assert entry_value(session, 'InstallLocation') == target
        desktop_entry = session.profile.path('Desktop', 'Pellanor.desktop')
        with open(desktop_entry, encoding='utf-8') as entry:
            lines = entry.read().splitlines()
        assert any(line.startswith('Exec=') and os.path.join(target, 'Pellanor') in line for line in lines), lines
        # The logo installed with the pages: the executable is no picture a desktop can show.
        assert 'Icon=' + os.path.join(target, 'pages', 'installer', 'img', 'pellanor.png') in lines, lines

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

        elsewhere = os.path.join(programs, 'Elsewhere')
        if foreign_entry:
            cli(session.env, 'setRegistryString', ENTRY, 'InstallLocation', elsewhere)
        user_files = add_user_files(session, target)
        uninstall(session, language, target, keep, reason, switch_to)
        check_only_user_files_left(target, user_files)
        # The running installed copy was asked to quit.
        wait_for(lambda: not running_from(target), 20, 'the installed copy to quit')
        assert not os.path.exists(desktop_entry)
        assert not os.path.exists(autostart)
        if foreign_entry:
            assert entry_value(session, 'InstallLocation') == elsewhere
            assert 'uninstall.step.entry: skipped' in session.log_text()
        else:
            # The entry goes even when the settings stay: it names files that are gone.
            assert entry_value(session, 'DisplayName') == ''
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


def test_install_uninstall_th_without_logon():
    full_cycle('th-th', logon=False, keep=True, reason='', switch_to='ja-jp', foreign_entry=True)


def uninstallers_of(program):
    """Processes running `program` as the uninstaller."""
    found = []
    for pid in running_from(os.path.dirname(program)):
        with contextlib.suppress(OSError):
            with open('/proc/%d/cmdline' % pid, 'rb') as cmdline:
                if b'--uninstall' in cmdline.read().split(b'\0'):
                    found.append(pid)
    return found


def pellanor_row(page):
    """The Programs row of Pellanor as shown: texts, whether its icon arrived, and how many rows
    carry the name."""
    return page.eval('''(() => {
        const rows = Array.from(document.querySelectorAll("#section-programs .vlist-row"))
            .filter((r) => !r.hidden && r.querySelector(".row-name").textContent === "Pellanor");
        if (rows.length === 0) return null;
        const cells = rows[0].children;
        return {count: rows.length, about: cells[1].lastChild.textContent,
                size: cells[2].textContent, date: cells[3].textContent,
                icon: cells[0].classList.contains("has-image")};
    })()''')


def reinstall_rewrites_the_entry(session, target):
    """An earlier version's entry, with a value that would hide it, is replaced by one entry."""
    cli(session.env, 'setRegistryString', ENTRY, 'DisplayVersion', '1.0.0')
    cli(session.env, 'setRegistryIntValue', ENTRY, 'EstimatedSize', 1)
    cli(session.env, 'setRegistryIntValue', ENTRY, 'SystemComponent', 1)
    click_closing(session.main, '#cancel')
    session.process.wait(20)
    session.main = session.start(harness.PROGRAM, ['LANG=en-us', '--install'], INSTALLER,
                                 INSTALLER_READY)
    session.main.wait('Installer.checkFolder(%s).state === "update"' % json.dumps(target),
                      what='an update of the install')
    page = session.main
    second = os.path.join(session.profile.programs, 'Second')
    refused = page.eval('Installer.checkFolder(%s)' % json.dumps(second))
    assert refused == {'refusal': 'install.refuse.installed', 'state': 'refused',
                       'args': [target]}, refused
    set_folder(page, second)
    page.wait('document.getElementById("next").disabled', what='Next disabled for a second folder')
    assert target in page.eval('document.getElementById("folder-note").textContent')
    shot(page, 'second-folder', 'en-us')
    # An entry whose folder holds no install of ours (removed by hand) binds nothing.
    cli(session.env, 'setRegistryString', ENTRY, 'InstallLocation',
        os.path.join(session.profile.programs, 'Gone'))
    assert page.eval('Installer.checkFolder(%s).refusal' % json.dumps(second)) == ''
    set_folder(page, target)
    assert install(session, 'en-us', session.profile.programs, logon=True) == target
    assert not os.path.exists(second)
    check_install_texts(session, page)
    check_entry(session, target)
    names = json.loads(cli(session.env, 'getInstalledPrograms'))['list']
    assert [p['name'] for p in names] == ['Other Tool', 'Pellanor'], names


def check_install_texts(session, page):
    """The result of an install follows a language chosen while the window is open."""
    texts = ('document.getElementById("result").textContent + "|" +'
             ' document.getElementById("progress-verb").textContent')
    before = page.eval(texts)
    switch_language(session, page, 'de-de')
    after = page.eval(texts)
    assert after != before and 'installed' not in after and page.eval(
        'MainStrings.t("install.done.heading")') in after, (before, after)
    shot(page, 'done-switched', 'de-de')
    cli(session.env, 'setSetting', 'app_language', '')


def test_programs_lists_and_uninstalls_the_installed_copy():
    def prepare(profile, env):
        # Another program's entry beside ours: nothing done to ours may touch it.
        cli(env, 'setRegistryString', UNINSTALL_KEY + '\\OtherTool', 'DisplayName', 'Other Tool')
        cli(env, 'setRegistryString', UNINSTALL_KEY + '\\OtherTool', 'UninstallString',
            '"C:\\Other\\remove.exe"')

    with harness.Session('en-us', args=['--install'], page=INSTALLER, ready=INSTALLER_READY,
                         prepare=prepare) as session:
        programs = session.profile.programs
        session.profile.add_sentinel(os.path.join(programs, 'beside.txt'))
        target = install(session, 'en-us', programs, logon=True)
        check_entry(session, target)
        reinstall_rewrites_the_entry(session, target)
        click_closing(session.main, '#cancel')
        session.process.wait(20)

        program = os.path.join(target, 'Pellanor')
        page = session.start(program, ['LANG=en-us'], 'main/main.html', harness.Session.HOME_READY)
        autostart = os.path.join(session.profile.home, '.config', 'autostart',
                                 'PellanorStartup.desktop')
        wait_for(lambda: os.path.exists(autostart), 20, 'the autostart entry')
        open_section(page, 'programs')
        page.wait('(() => { const r = Array.from(document.querySelectorAll('
                  '"#section-programs .vlist-row .row-name")).map((e) => e.textContent);'
                  ' return r.includes("Pellanor") && r.includes("Other Tool"); })()',
                  what='Pellanor in the Programs list')
        # The icon is asked for once the row has settled on screen.
        page.wait('(() => { const r = Array.from(document.querySelectorAll("#section-programs .vlist-row"))'
                  '.find((e) => e.querySelector(".row-name").textContent === "Pellanor");'
                  ' return r && r.firstChild.classList.contains("has-image"); })()',
                  what='the icon of Pellanor')
        row = pellanor_row(page)
        size = page.eval('Format.size(%d)' % (folder_kib(target) * 1024))
        # The publisher and the version share the line under the name.
        assert row == {'count': 1, 'icon': True,
                       'about': 'Pellanor \u00b7 ' + page.eval('NativeUtil.nativeVersion'),
                       'size': size, 'date': row['date']} and row['date'] != '', row
        shot(page, 'programs-listed', 'en-us')

        press_uninstall(page, 'Pellanor')
        confirm_dialog(page)
        page.click('.dialog-backdrop [data-answer=go]')
        # The uninstaller inherits the main window's inspector port, which that window holds:
        # it is driven as a user drives it, with keys, and read from the disk and the log.
        wait_for(lambda: uninstallers_of(program), 20, 'the installed copy\'s uninstaller')
        wait_for(lambda: 'uninstaller ready for ' + target in session.log_text(), 30,
                 'the uninstaller to be ready')
        # From the reason: past "keep my settings" (ticked) and Cancel to Uninstall.
        for key in ('Tab', 'Tab', 'Tab', 'Enter'):
            page.press(key, window_title='Uninstall Pellanor')
        wait_for(lambda: 'uninstall scheduled for ' + target in session.log_text(), 60,
                 'the uninstall to be scheduled')
        page.press('Enter', window_title='Uninstall Pellanor')  # Close has the focus
        wait_for(lambda: not running_from(target), 30, 'every copy from the folder to end')
        wait_for(lambda: not os.path.exists(target), 20, 'the install folder to be removed')
        log = session.log_text()
        assert 'uninstall.step.entry: true' in log and 'uninstall.step.keepSettings' in log
        assert entry_value(session, 'DisplayName') == ''
        assert cli(session.env, 'getRegistryString', UNINSTALL_KEY + '\\OtherTool',
                   'DisplayName') == 'Other Tool'
        assert not os.path.exists(session.profile.path('Desktop', 'Pellanor.desktop'))
        assert not os.path.exists(autostart)
        assert setting(session, 'minimizeOnClose') == '1'
        for sentinel in session.profile.sentinels:
            assert os.path.exists(sentinel), sentinel + ' was removed'


def check_entry_rules(page):
    """The entry's values and its owner test, on made-up installs."""
    ownership = [
        ('C:\\Programs\\Pellanor', 'c:/programs/pellanor/', True),
        ('C:\\Programs\\Pellanor\\', 'C:\\Programs\\Pellanor', True),
        ('C:\\Programs\\Pellanor', 'C:\\Programs\\Pellanor2', False),
        ('C:\\Programs', 'C:\\Programs\\Pellanor', False),
        ('', 'C:\\Programs\\Pellanor', False),
        ('', '', False),
    ]
    for location, folder, owns in ownership:
        verdict = page.eval('Setup.ownsEntry(%s, %s)' % (json.dumps(location), json.dumps(folder)))
        assert verdict is owns, '%r owned by %r: %r' % (location, folder, verdict)
    sizes = [(0, 0), (1, 1), (1024, 1), (1025, 2), ('x', 0), (-5, 0), (2 ** 45, 0x7fffffff)]
    for size, kib in sizes:
        found = page.eval('Setup.uninstallEntry({program: "p", folder: "f", bytes: %s})'
                          '.numbers.EstimatedSize' % json.dumps(size))
        assert found == kib, '%r bytes: %r KiB, wanted %r' % (size, found, kib)
    dates = [('2024, 2, 5', '20240305'), ('2023, 11, 31', '20231231'), ('2025, 0, 1', '20250101')]
    for made, text in dates:
        found = page.eval('Setup.uninstallEntry({program: "p", folder: "f", date: new Date(%s)})'
                          '.texts.InstallDate' % made)
        assert found == text, '%s: %r' % (made, found)
    build = os.path.dirname(harness.PROGRAM)
    icons = [
        ('C:\\P', 'C:\\P\\Pellanor.exe', True, 'C:\\P\\Pellanor.exe'),
        (build, '/x/Pellanor', False, os.path.join(build, 'pages', 'installer', 'img', 'pellanor.png')),
        (os.path.join(build, 'pages'), '/x/Pellanor', False, '/x/Pellanor'),
        ('/nowhere/at/all', '/nowhere/at/all/Pellanor', False, '/nowhere/at/all/Pellanor'),
    ]
    for folder, program, windows, icon in icons:
        found = page.eval('Setup.programIcon(%s, %s, %s)' % (json.dumps(folder), json.dumps(program),
                                                             json.dumps(windows)))
        assert found == icon, '%r: %r, wanted %r' % (folder, found, icon)
    texts = page.eval('Setup.uninstallEntry({program: "C:\\\\Program Files\\\\P\\\\Pellanor.exe",'
                      ' folder: "C:\\\\Program Files\\\\P", version: "2.0"}).texts')
    assert texts['UninstallString'] == '"C:\\Program Files\\P\\Pellanor.exe" --uninstall', texts
    assert texts['DisplayIcon'] == 'C:\\Program Files\\P\\Pellanor.exe', texts


def check_removal_licence(session, page):
    """Only a folder the installer could have filled, holding the marker, may be removed: not
    one of the user's own folders where a marker and a copy of the program were planted, nor
    someone else's folder with a marker but no manifest."""
    profile = session.profile
    legit = os.path.join(profile.programs, 'Legit')
    documents = profile.documents
    for folder in (profile.home, profile.root, profile.programs, legit, documents):
        harness.write(os.path.join(folder, 'Pellanor.install'), text='marker')
    harness.write(os.path.join(documents, 'Pellanor.manifest'), text='Pellanor\nthesis.docx\n')
    shutil.copy(harness.PROGRAM, os.path.join(documents, 'Pellanor'))
    old = os.path.join(profile.programs, 'Old')
    harness.write(os.path.join(old, 'Pellanor.install'), text='marker')
    profile.add_sentinel(os.path.join(old, 'notes.txt'))
    bare = os.path.join(profile.programs, 'Bare')
    os.makedirs(bare)
    cases = [(legit, True), (legit + '/', True), (bare, False), (profile.home, False),
             (documents, False), (old, False),
             (profile.root, False), (profile.programs, False), ('/', False), ('/tmp', False),
             ('', False)]
    for folder, allowed in cases:
        verdict = page.eval('Uninstaller.mayRemove(%s)' % json.dumps(folder))
        assert verdict is allowed, '%r: %r, wanted %r' % (folder, verdict, allowed)


def check_folder_taken_meanwhile(session, page):
    """A folder that gains someone's files between the choice and Install is left alone, and
    Back leads to the choices again."""
    later = os.path.join(session.profile.programs, 'Later')
    set_folder(page, later)
    page.wait('!document.getElementById("next").disabled', what='a new folder accepted')
    page.click('#next')
    page.wait('!document.querySelector("[data-panel=options]").hidden', what='options step')
    kept = session.profile.add_sentinel(os.path.join(later, 'arrived.txt'))
    page.click('#next')
    page.wait('Installer.state().installed === false', timeout=30, what='the install refused')
    assert page.eval('document.getElementById("back").hidden') is False, 'Back hidden after a failure'
    assert 'holds other files' in page.eval('document.getElementById("result").textContent')
    assert os.listdir(later) == ['arrived.txt'] and os.path.exists(kept)
    page.click('#back')
    page.wait('!document.querySelector("[data-panel=options]").hidden', what='back to the options')


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
            # The user's own folders and their parents, empty or not, by the program's rule.
            (session.profile.path('Desktop'), 'install.refuse.known'),
            (session.profile.documents, 'install.refuse.known'),
            (session.profile.path('Downloads'), 'install.refuse.known'),
            (session.profile.path('Music'), 'install.refuse.known'),
            (session.profile.path('Pictures'), 'install.refuse.known'),
            (session.profile.path('Videos'), 'install.refuse.known'),
            (session.profile.path('AppData'), 'install.refuse.known'),
            (session.profile.roaming, 'install.refuse.known'),
            (session.profile.local, 'install.refuse.known'),
            (os.path.join(session.profile.documents, 'Pellanor'), ''),
        ]
        for path, expected in cases:
            verdict = page.eval('Installer.checkFolder(%s).refusal' % json.dumps(path))
            assert verdict == expected, '%r: %r, wanted %r' % (path, verdict, expected)
        check_entry_rules(page)
        set_folder(page, foreign)
        page.wait('document.getElementById("next").disabled', what='Next disabled')
        shot(page, 'refused', 'en-us')
        page.click('#next')
        time.sleep(0.5)
        assert page.eval('document.querySelector("[data-panel=folder]").hidden') is False
        assert os.listdir(foreign) == ['notes.txt']
        assert os.path.exists(kept)
        check_folder_taken_meanwhile(session, page)
        click_closing(page, '#cancel')
        session.process.wait(20)

        # The program run from a folder its installer did not fill removes nothing.
        page = session.start(harness.PROGRAM, ['LANG=en-us', '--uninstall'], UNINSTALLER,
                             UNINSTALLER_READY)
        assert page.eval('Uninstaller.state().phase') == 'refused'
        assert page.eval('document.getElementById("go").hidden') is True
        check_removal_licence(session, page)
        shot(page, 'uninstall-refused', 'en-us')
        click_closing(page, '#cancel')
        session.process.wait(20)
        assert os.path.exists(harness.PROGRAM)
        assert os.path.exists(os.path.join(session.profile.documents, 'Pellanor'))
        assert not glob.glob(os.path.join(session.profile.temp, 'pellanor_uninstall_*'))
        assert not glob.glob(os.path.join(session.env['TMPDIR'], 'pellanor_uninstall_*'))
        assert entry_value(session, 'DisplayName') == ''


if __name__ == '__main__':
    harness.run([test_refusals, test_install_start_uninstall_en, test_install_start_uninstall_de,
                 test_install_uninstall_th_without_logon,
                 test_programs_lists_and_uninstalls_the_installed_copy])
