"""Programs, Tools and Chat apps on their heavier paths, each checked on the disk and in the
registry store afterwards: a registered uninstaller started (confirm, waiting, the list read
again when the window comes back) and a missing one reported; the previous Windows removed,
the page file moved and hibernation turned off, with the system tools stood in for by scripts
on PATH; Stop pressed during a chat scan of a large tree. Programs and Tools run in English and
German; every flow leaves screens of its states in e2e-shots, and switches languages live for
the rest (German for chat, Japanese and Thai for all), where texts built by scripts must follow."""
import json
import os
import shlex
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from main_sections_test import OVERFLOW_CHECK, confirm_dialog, open_section  # noqa: E402

MIB = harness.MIB
UNINSTALL = 'HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\'
EXTRA_SHOTS = ('ja-jp', 'th-th')


def cli(env, method, *args):
    """One native method through pellanor-cli, in the program's environment."""
    done = subprocess.run([harness.CLI, method] + [json.dumps(a) for a in args], env=env,
                          capture_output=True, text=True, timeout=60)
    assert done.returncode == 0, method + ': ' + done.stderr
    return json.loads(done.stdout.splitlines()[0])


def register_program(env, key, values):
    for name, value in values.items():
        method = 'setRegistryIntValue' if isinstance(value, int) else 'setRegistryString'
        cli(env, method, UNINSTALL + key, name, value)


def script(path, text):
    harness.write(path, text='#!/bin/sh\n' + text)
    os.chmod(path, 0o755)
    return path


def text(page, key, *args):
    """The page's own text for `key` in its current language."""
    return page.eval('MainStrings.t(%s, ...%s)' % (json.dumps(key), json.dumps(list(args))))


def size_text(page, size):
    return page.eval('Format.size(%d)' % size)


def wait_for_file(path, timeout=20):
    deadline = time.monotonic() + timeout
    while not os.path.exists(path):
        if time.monotonic() > deadline:
            raise AssertionError('never written: ' + path)
        time.sleep(0.1)


def answer(page, go):
    page.click('.dialog-backdrop [data-answer=%s]' % ('go' if go else 'cancel'))
    page.wait('document.querySelector(".dialog-backdrop") === null', what='confirm closed')


def overflow_and_shots(page, section, state, languages):
    """Fits and reads in each language (switched live, so texts built in scripts must follow)."""
    problems = {}
    for code in languages:
        page.eval('App.setLanguage(%r)' % code)
        page.wait('document.documentElement.lang === %r' % code)
        found = page.eval(OVERFLOW_CHECK)
        if found:
            problems[code] = found
        page.screenshot('main-%s-%s-%s' % (section, state, code))
    assert not problems, json.dumps(problems, ensure_ascii=False, indent=1)


# --- Programs ---------------------------------------------------------------------------------

def prepare_programs(profile, env):
    folder = os.path.join(profile.drive_c, 'Program Files', 'Fake Notes')
    profile.marker = os.path.join(profile.root, 'uninstaller-ran.txt')
    # Stands in for a program's uninstaller: it forgets its own entry, then notes that it ran.
    script(os.path.join(folder, 'uninstall.sh'),
           '%s removeRegistryKey %s >/dev/null 2>&1\nprintf "%%s\\n" "$*" > %s\n'
           % (shlex.quote(harness.CLI), shlex.quote(json.dumps(UNINSTALL + 'FakeNotes')),
              shlex.quote(profile.marker)))
    profile.add_sentinel(os.path.join(folder, 'notes.db'))
    register_program(env, 'FakeNotes', {
        'DisplayName': 'Fake Notes', 'Publisher': 'Test Works', 'DisplayVersion': '2.0',
        'InstallDate': '20250115', 'EstimatedSize': 2048,
        'UninstallString': '"C:\\Program Files\\Fake Notes\\uninstall.sh" /S'})
    register_program(env, 'GoneApp', {
        'DisplayName': 'Gone App', 'Publisher': 'Nobody',
        'UninstallString': '"C:\\Program Files\\Gone App\\uninst.exe" /quiet'})


def program_names(page):
    return page.eval('Array.from(document.querySelectorAll("#section-programs .vlist-row .row-name"))'
                     '.filter((e) => e.offsetParent !== null).map((e) => e.textContent).sort()')


def press_uninstall(page, name):
    page.wait('(() => { const row = Array.from(document.querySelectorAll("#section-programs .vlist-row"))'
              '.find((r) => r.querySelector(".row-name").textContent === %s); if (!row) return false;'
              ' row.querySelector("[data-action=uninstall]").setAttribute("data-e2e", "uninstall");'
              ' return true; })()' % json.dumps(name), what='row of ' + name)
    page.click('[data-e2e=uninstall]')
    page.eval('document.querySelector("[data-e2e=uninstall]").removeAttribute("data-e2e")')


def banner(page):
    return page.eval('(() => { const b = document.querySelector("#section-programs .banner");'
                     ' return b && !b.hidden ? {kind: b.className, text: b.innerText.trim()} : null; })()')


def programs_uninstall(language, extra_shots=()):
    with harness.Session(language, prepare=prepare_programs) as session:
        page, profile = session.main, session.profile
        open_section(page, 'programs')
        page.wait('document.querySelectorAll("#section-programs .vlist-row .row-name").length >= 2',
                  what='program rows')
        assert program_names(page) == ['Fake Notes', 'Gone App'], program_names(page)

        # Cancel starts nothing.
        press_uninstall(page, 'Fake Notes')
        shown = confirm_dialog(page)
        assert shown['focused'] == 'cancel', shown
        answer(page, go=False)
        time.sleep(0.5)
        assert not os.path.exists(profile.marker) and banner(page) is None

        # A command naming a program that is not there is a failure, in the user's language.
        press_uninstall(page, 'Gone App')
        shown = confirm_dialog(page)
        assert shown['title'] == text(page, 'programs.confirm', 'Gone App'), shown
        answer(page, go=True)
        page.wait('document.querySelector("#section-programs .banner:not([hidden])") !== null',
                  what='launch failure')
        failure = banner(page)
        assert 'danger' in failure['kind'] and \
            failure['text'] == text(page, 'programs.launchFailed', 'Gone App'), failure
        english = 'Windows could not start the uninstaller of Gone App.'
        assert (failure['text'] == english) == (language == 'en-us'), failure
        assert page.eval('App.section("programs").debug.state.waiting') is False
        page.screenshot('main-programs-launchfailed-' + language)

        # The real uninstaller: confirm, waiting, it runs, and the list follows on return.
        press_uninstall(page, 'Fake Notes')
        shown = confirm_dialog(page)
        assert shown['title'] == text(page, 'programs.confirm', 'Fake Notes'), shown
        assert shown['items'] == ['Fake Notes'], shown
        assert shown['note'] == text(page, 'programs.confirmNote'), shown
        page.screenshot('main-programs-confirm-' + language)
        answer(page, go=True)
        waiting = page.wait('(() => { const b = document.querySelector("#section-programs .banner");'
                            ' return b && !b.hidden && b.className.includes("info") && b.innerText; })()',
                            what='waiting banner')
        assert waiting.strip() == text(page, 'programs.waiting', 'Fake Notes'), waiting
        page.screenshot('main-programs-waiting-' + language)
        wait_for_file(profile.marker)
        with open(profile.marker) as ran:
            assert ran.read().strip() == '/S', 'the parameters did not reach the uninstaller'
        assert cli(session.env, 'getRegistryString', UNINSTALL + 'FakeNotes', 'DisplayName') == ''
        # Nothing is read again while the user is away in the uninstaller.
        assert program_names(page) == ['Fake Notes', 'Gone App']
        page.leave_and_return()
        page.wait('(() => { const n = Array.from(document.querySelectorAll('
                  '"#section-programs .vlist-row .row-name")).filter((e) => e.offsetParent !== null);'
                  ' return n.length === 1 && n[0].textContent === "Gone App"; })()',
                  what='the list without Fake Notes')
        assert banner(page) is None, banner(page)
        assert [p for p in profile.sentinels if not os.path.exists(p)] == []
        overflow_and_shots(page, 'programs', 'reloaded', (language,))
        if extra_shots:
            press_uninstall(page, 'Gone App')
            confirm_dialog(page)
            answer(page, go=True)
            page.wait('document.querySelector("#section-programs .banner:not([hidden])") !== null')
            overflow_and_shots(page, 'programs', 'launchfailed', extra_shots)
            assert banner(page)['text'] == text(page, 'programs.launchFailed', 'Gone App'), \
                'the banner did not follow the language switch'


# --- Tools ------------------------------------------------------------------------------------

# The system tools the cards drive, stood in for by scripts: each logs its command line and does
# what the mode file next to it says.
WMIC = '''echo "$*" >> "$0.log"
case "$*" in
    *"pagefileset create"*)
        if [ "$(cat "$0.mode")" = error ]; then echo "ERROR:"; echo "Description = Access denied";
        else echo "Instance creation successful."; fi ;;
    *computersystem*|*pagefileset*) echo "Updating property(s) ... successful." ;;
esac
'''
POWERCFG = '''echo "$*" >> "$0.log"
if [ "$(cat "$0.mode")" = ok ] && [ "$*" = "/hibernate off" ]; then rm -f %s; fi
exit 0
'''


def prepare_tools(profile, env):
    c = profile.drive_c
    old = os.path.join(c, 'windows.old')
    harness.write(os.path.join(old, 'Windows', 'System32', 'config', 'SYSTEM'), 3 * MIB)
    harness.write(os.path.join(old, 'Users', 'Ana', 'Documents', 'letter.txt'), text='Dear Ana')
    readonly = os.path.join(old, 'Program Files', 'Old', 'app.dll')
    harness.write(readonly, 1 * MIB)
    os.chmod(readonly, 0o444)
    profile.old_bytes = 4 * MIB + len('Dear Ana')
    profile.old = old
    # A link inside the folder goes as a link; what it points to stays.
    target = os.path.join(profile.root, 'link-target')
    profile.add_sentinel(os.path.join(target, 'important.txt'))
    os.symlink(target, os.path.join(old, 'Users', 'Ana', 'Linked'))
    profile.add_sentinel(os.path.join(c, 'windows.old.bak', 'keep.txt'))
    profile.add_sentinel(os.path.join(c, 'Users', 'Ana', 'keep.txt'))
    profile.pagefile = os.path.join(c, 'pagefile.sys')
    harness.write(profile.pagefile, 512 * MIB)
    profile.hiberfil = os.path.join(c, 'hiberfil.sys')
    harness.write(profile.hiberfil, 768 * MIB)
    d = os.path.join(profile.root, 'd')
    profile.add_sentinel(os.path.join(d, 'data.txt'))
    env['PELLANOR_DRIVES'] = 'C=%s;D=%s;E=%s' % (c, d, os.path.join(profile.root, 'e-unplugged'))
    tools = os.path.join(profile.root, 'tools')
    profile.wmic = script(os.path.join(tools, 'wmic'), WMIC)
    profile.powercfg = script(os.path.join(tools, 'powercfg.exe'),
                              POWERCFG % shlex.quote(profile.hiberfil))
    set_mode(profile.wmic, 'error')
    set_mode(profile.powercfg, 'ignore')
    env['PATH'] = tools + os.pathsep + env.get('PATH', '/usr/bin:/bin')


def set_mode(tool, mode):
    harness.write(tool + '.mode', text=mode)


def tool_log(tool):
    if not os.path.exists(tool + '.log'):
        return []
    with open(tool + '.log') as log:
        return log.read().splitlines()


def card(page, tool):
    return page.eval('(() => { const c = document.getElementById("tool-%s");'
                     ' const r = c.querySelector(".tool-result");'
                     ' return {state: c.querySelector(".tool-state").innerText.trim(),'
                     ' result: r.innerText.trim(), kind: r.className,'
                     ' buttons: Array.from(c.querySelectorAll(".button")).map((b) => b.disabled)}; })()'
                     % tool)


def wait_result(page, tool, kind):
    page.wait('document.querySelector("#tool-%s .tool-result").className.includes("tool-result-%s")'
              ' && document.querySelector(".busy") === null' % (tool, kind),
              timeout=60, what=tool + ' result ' + kind)
    return card(page, tool)


def run_card_action(page, tool, selector):
    page.click('#tool-%s %s' % (tool, selector))
    shown = confirm_dialog(page)
    assert shown['focused'] == 'cancel', shown
    answer(page, go=True)
    return shown


def tools_heavy_cards(language, extra_shots=()):
    with harness.Session(language, prepare=prepare_tools) as session:
        page, profile = session.main, session.profile
        open_section(page, 'tools')

        # Page file: measured on entering, the targets are the fixed drives that exist.
        page.wait('document.querySelector("#tool-pagefile .tool-state").innerText.trim() === %s'
                  % json.dumps(text(page, 'tools.page.size', size_text(page, 512 * MIB))),
                  what='page file measured')
        drives = page.eval('Array.from(document.querySelectorAll("#tool-pagefile option")).map((o) => o.value)')
        assert drives == ['D:'], drives
        shown = run_card_action(page, 'pagefile', '.button.primary')
        assert shown['title'] == text(page, 'tools.page.confirm', 'D:'), shown
        failed = wait_result(page, 'pagefile', 'failed')
        assert failed['result'] == text(page, 'tools.page.failed'), failed
        create = 'pagefileset create Name=D:\\pagefile.sys, InitialSize=512, MaximumSize=512'
        assert create in tool_log(profile.wmic), tool_log(profile.wmic)
        set_mode(profile.wmic, 'ok')
        run_card_action(page, 'pagefile', '.button.primary')
        moved = wait_result(page, 'pagefile', 'ok')
        assert moved['result'] == text(page, 'tools.page.done', 'D:'), moved
        assert moved['buttons'] == [True], 'a moved page file must not be moved again: %r' % moved
        steps = [line for line in tool_log(profile.wmic)
                 if line.startswith(('computersystem', 'pagefileset'))][-3:]
        assert [line.split()[0] for line in steps] == ['computersystem', 'pagefileset', 'pagefileset'] \
            and 'AutomaticManagedPagefile=False' in steps[0] and steps[2] == create, steps
        # Windows moves the file at the next restart; until then C: still holds it.
        assert os.path.getsize(profile.pagefile) == 512 * MIB
        assert moved['state'] == text(page, 'tools.page.size', size_text(page, 512 * MIB)), moved

        # Previous Windows: the card warns before anything runs, the disk decides the verdict.
        warning = page.eval('document.querySelector("#tool-windowsold .tool-warn").innerText')
        assert warning == text(page, 'tools.old.warn'), warning
        page.click('#tool-windowsold .button.secondary')
        page.wait('document.querySelector("#tool-windowsold .tool-state").innerText.trim() === %s'
                  % json.dumps(text(page, 'tools.old.size', size_text(page, profile.old_bytes))),
                  what='previous Windows measured')
        page.eval('window.busyLabels = []; new MutationObserver(() => {'
                  ' const b = document.querySelector(".busy-label");'
                  ' if (b && !busyLabels.includes(b.textContent)) busyLabels.push(b.textContent);'
                  '}).observe(document.body, {childList: true, subtree: true}); null')
        shown = run_card_action(page, 'windowsold', '.button.danger')
        assert shown['items'] == ['C:\\windows.old'] and shown['note'] == warning, shown
        removed = wait_result(page, 'windowsold', 'ok')
        assert text(page, 'tools.old.busy') in page.eval('busyLabels'), page.eval('busyLabels')
        assert removed['result'] == text(page, 'tools.old.done'), removed
        assert removed['state'] == text(page, 'tools.old.none'), removed
        assert removed['buttons'] == [False, True], removed
        assert not os.path.lexists(profile.old)
        assert [p for p in profile.sentinels if not os.path.exists(p)] == []
        assert 'remove Windows.Old by native force delete' in session.log_text()

        # Hibernation: the confirm names what is lost; the result follows a new measurement.
        page.click('#tool-hibernate .button.secondary')
        page.wait('document.querySelector("#tool-hibernate .tool-state").innerText.trim() === %s'
                  % json.dumps(text(page, 'tools.hib.size', size_text(page, 768 * MIB))),
                  what='hibernation measured')
        shown = run_card_action(page, 'hibernate', '.button.danger')
        assert shown['title'] == text(page, 'tools.hib.confirm'), shown
        assert shown['items'] == [text(page, 'tools.hib.lose1'), text(page, 'tools.hib.lose2')], shown
        # The tool answered without turning anything off: the file is still there, and so says the card.
        stayed = wait_result(page, 'hibernate', 'failed')
        assert tool_log(profile.powercfg) == ['/hibernate off'], tool_log(profile.powercfg)
        assert os.path.exists(profile.hiberfil)
        assert stayed['result'] == text(page, 'tools.hib.failed'), stayed
        assert stayed['state'] == text(page, 'tools.hib.size', size_text(page, 768 * MIB)), stayed
        page.screenshot('main-tools-failed-' + language)
        set_mode(profile.powercfg, 'ok')
        run_card_action(page, 'hibernate', '.button.danger')
        off = wait_result(page, 'hibernate', 'ok')
        assert not os.path.exists(profile.hiberfil)
        assert off['result'] == text(page, 'tools.hib.done'), off
        assert off['state'] == '', off  # the result line says it; "already off" would misread
        assert off['buttons'] == [False, True], off
        assert [p for p in profile.sentinels if not os.path.exists(p)] == []
        overflow_and_shots(page, 'tools', 'done', (language,) + extra_shots)
        if extra_shots:
            assert card(page, 'hibernate')['result'] == text(page, 'tools.hib.done'), \
                'the result line did not follow the language switch'


# --- Chat apps --------------------------------------------------------------------------------

# Empty files: each costs the scan a directory entry and a look at its identity, and the disk
# next to nothing. The category after the cache gets the most, as Stop lands while it is measured.
CHAT_FILES = {'Cache': 15000, 'Image': 30000}


def prepare_chat(profile, env):
    """Many small files, so that a scan is still measuring when Stop comes."""
    storage = os.path.join(profile.documents, 'WeChat Files', 'wxid_test01', 'FileStorage')
    profile.many = []
    for category, count in CHAT_FILES.items():
        for index in range(count):
            folder = os.path.join(storage, category, 'bulk', '%03d' % (index // 500))
            if index % 500 == 0:
                os.makedirs(folder)
            path = os.path.join(folder, 'f%05d' % index)
            open(path, 'wb').close()
        profile.many.append(os.path.join(storage, category, 'bulk'))


def count_files(folder):
    return sum(len(files) for _, _, files in os.walk(folder))


# Clicks Stop when `ready` first holds, and notes what the button said right after.
STOP_WHEN = '''window.chatStop = null; new MutationObserver((changes, observer) => {
    const stop = document.querySelector("#section-chat .progress-panel .button");
    if (!stop || !(%s)) return;
    observer.disconnect();
    stop.click();
    window.chatStop = {text: stop.textContent, disabled: stop.disabled};
}).observe(document.getElementById("section-chat"), {childList: true, subtree: true, characterData: true}); null'''


def row_sizes(page):
    return page.eval('Array.from(document.querySelectorAll("#section-chat .row-size")).map((e) => e.textContent)')


def scan_chat(page, stop_when=None):
    if stop_when:
        page.eval(STOP_WHEN % stop_when)
    page.click('#section-chat .section-tools .button')
    page.wait('document.querySelector("#section-chat .progress-panel") === null && '
              '!document.querySelector("#section-chat .section-tools .button").disabled',
              timeout=60, what='chat scan end')
    partial = page.eval('document.querySelector("#section-chat .banner.warning") !== null')
    return partial, row_sizes(page)


def chat_stop_keeps_partial_results(language, extra_shots=()):
    with harness.Session(language, prepare=prepare_chat) as session:
        page, profile = session.main, session.profile
        open_section(page, 'chat')
        dash = '\u2014'
        # Stopped before the first category is measured: partial, never "no data on this PC".
        partial, sizes = scan_chat(page, 'true')
        assert page.eval('chatStop') == {'text': text(page, 'progress.stopping'), 'disabled': True}, \
            page.eval('chatStop')
        assert partial and sizes == [dash] * 4, (partial, sizes)
        assert page.eval('document.querySelector("#section-chat .empty") === null'), 'shown as not found'
        page.screenshot('main-chat-stopped-early-' + language)

        # Stopped once the cache is measured: that row stays, the rest is marked unmeasured.
        partial, sizes = scan_chat(page, 'document.querySelector("#section-chat [data-row=wechat_cache]'
                                         ' .row-size").textContent !== "\u2014"')
        assert page.eval('chatStop.text') == text(page, 'progress.stopping')
        assert partial and sizes == [size_text(page, 2 * MIB), dash, dash, dash], (partial, sizes)
        assert page.eval('document.querySelector("#section-chat input[data-type=wechat_cache]").checked')
        overflow_and_shots(page, 'chat', 'stopped', (language,) + extra_shots)
        page.eval('App.setLanguage(%r)' % language)

        # Scan runs again to its end, and the partial mark goes.
        partial, sizes = scan_chat(page)
        assert not partial and sizes == [size_text(page, n * MIB) for n in (2, 3, 5, 1)], (partial, sizes)

        # Scanning and stopping removed nothing.
        for paths in profile.chat.values():
            assert [p for p in paths if not os.path.exists(p)] == []
        assert [count_files(f) for f in profile.many] == list(CHAT_FILES.values())
        assert [p for p in profile.sentinels if not os.path.exists(p)] == []
        overflow_and_shots(page, 'chat', 'results', (language,) + extra_shots)


def scenario(flow, language, extra_shots=()):
    def run():
        flow(language, extra_shots)
    run.__name__ = '%s_%s' % (flow.__name__, language.replace('-', '_'))
    return run


if __name__ == '__main__':
    # The chat tree is slow to build on a busy machine: one run, with German screens switched in.
    harness.run([scenario(flow, language, EXTRA_SHOTS if language == 'en-us' else ())
                 for flow in (programs_uninstall, tools_heavy_cards)
                 for language in ('en-us', 'de-de')] +
                [scenario(chat_stop_keeps_partial_results, 'en-us', ('de-de',) + EXTRA_SHOTS)])
