"""About & feedback and the usage-data switch against the local test service of the network tests:
an offered version is shown, a failing or absent service gives a plain sentence in the page's
language, feedback reaches the service with the typed text and this PC's support id, a failed
send keeps the draft, and usage events flow only after the user switches them on. The version
history lists the service's versions newest first with the running one marked, says so when
offline and loads on Retry; the automatic update check asks once a day at most, shows an offered
version on Home and About, stays silent on failure and asks nothing when switched off. Every
section that scans or cleans sends its usage event only while the switch is on, with counts,
sizes, durations and outcomes and never a path or a name; About shows the product's feedback page
with a QR code that a reader decodes back to that address, and opens it through the system."""
import contextlib
import json
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from analysis_test import confirm_dialog as confirm_and_go  # noqa: E402
from main_sections_test import open_section  # noqa: E402
from main_system_test import answer, cli, press_uninstall, register_program, script  # noqa: E402

SERVICE = os.path.join(harness.REPO, 'tests', 'net', 'test_service.py')
OFFERED = '9.1.0'
HISTORY = 'history/history.html'
HISTORY_URL = 'this://app/' + HISTORY
# The test service's own version list, newest first by number (not by text).
NEWEST_FIRST = ['1.10.0', '1.9.2', '1.3.6', '1.2.0']
HOUR_MS = 3600 * 1000


class Service:
    """tests/net/test_service.py on 127.0.0.1, with its request log in a temp folder."""

    def __init__(self, routes=None, options=None):
        self.routes = routes or {}
        self.options = options or []  # further command-line options of the service

    def __enter__(self):
        self.folder = tempfile.mkdtemp(prefix='pellanor-e2e-service-')
        self.log = os.path.join(self.folder, 'requests.log')
        command = [sys.executable, SERVICE, '--log', self.log, '--lifetime', '300']
        for path, answer in self.routes.items():
            command += ['--route', path, json.dumps(answer)]
        command += self.options
        # The service ends when its input closes, so it cannot outlive a scenario that dies.
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        line = self.process.stdout.readline().decode()
        if not line.startswith('PORT '):
            self.__exit__()
            raise AssertionError('the test service did not start: ' + repr(line))
        self.port = int(line.split()[1])
        return self

    def url(self, prefix=''):
        return 'http://127.0.0.1:%d%s' % (self.port, prefix)

    def requests(self, path_part=''):
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding='utf-8') as log:
            entries = [json.loads(line) for line in log if line.strip()]
        for entry in entries:
            entry['body'] = bytes.fromhex(entry['body']).decode('utf-8')
        return [e for e in entries if path_part in e['path']]

    def wait_for(self, path_part, what, timeout=15):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = self.requests(path_part)
            if found:
                return found
            time.sleep(0.1)
        raise AssertionError('the service never saw ' + what)

    def __exit__(self, *exc):
        with contextlib.suppress(Exception):
            self.process.stdin.close()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()
        shutil.rmtree(self.folder, ignore_errors=True)
        return False


def open_about(page):
    page.click('#nav-about')
    page.wait('App.current() === "about"')


def text_of(page, selector):
    return page.eval('(document.querySelector(%s) || {}).textContent || ""' % json.dumps(selector))


def check_for_updates(page):
    page.eval('document.getElementById("about-update-status").textContent = ""')
    page.click('#about-check-update')
    return page.wait('document.querySelector("#section-about .busy") === null && '
                     'document.getElementById("about-update-status").textContent',
                     timeout=15, what='the update verdict')


def send_feedback(page, text):
    page.click('#about-feedback')
    page.type(text)
    page.eval('document.getElementById("about-feedback-status").textContent = ""')
    page.click('#about-send')
    return page.wait('document.querySelector("#section-about .busy") === null && '
                     'document.getElementById("about-feedback-status").textContent',
                     timeout=15, what='the feedback verdict')


def plain(page, shown, key):
    """`shown` is the page's own sentence for `key`, not the program's error text."""
    expected = page.eval('MainStrings.t(%s)' % json.dumps(key))
    assert shown == expected, (shown, expected)
    for raw in ('{', '"error"', 'http', '127.0.0.1', 'Internal Server Error', 'server unreachable'):
        assert raw not in shown, shown


# Labels that clip, a page wider than its window, or a text that looks like a key or keeps {0}.
LAYOUT_FAULTS = '''(() => {
    const boxes = Array.from(document.querySelectorAll(%s)).filter((e) => e.clientWidth > 0 &&
        (e.scrollWidth > e.clientWidth + 1 || e.scrollHeight > e.clientHeight + 1));
    const texts = Array.from(document.querySelectorAll(%s)).map((e) => e.textContent.trim())
        .filter((t) => /^[a-z]+(\\.[A-Za-z]+)+$/.test(t) || /\\{\\d\\}/.test(t));
    const wide = document.documentElement.scrollWidth > innerWidth ? ['page'] : [];
    return wide.concat(boxes.map((e) => e.id || e.className), texts);
})()'''
BANNER_PARTS = '#home-update .button, #home-update .banner-text, .nav-item'
HISTORY_PARTS = '.titlebar-name, #running, .version-name, .tag, .version-date, .button'


def history_windows(session):
    return [t for t in session.targets() if t.get('type') == 'page' and HISTORY in t.get('url', '')]


def open_history(session, page):
    """Opens (or brings forward) the history window from About and waits until it has an answer."""
    if page.eval('App.current()') != 'about':
        open_about(page)
    page.click('#about-history')
    history = session.attach(HISTORY, timeout=15)
    history.wait('window.HistoryPage && !HistoryPage.busy() && HistoryPage.state().phase !== "loading"',
                 timeout=20, what='the version history')
    return history


def shown_versions(history):
    return history.eval('Array.from(document.querySelectorAll(".version")).map((n) => n.dataset.version)')


def latest_asked(service):
    return len(service.requests('/api/versions/latest/'))


def offered_version_and_feedback_reach_the_user_and_the_service():
    routes = {'/api/versions/latest/': {'version': OFFERED, 'notes': 'Faster scans'}}
    with Service(routes) as service, \
            harness.Session('en-us', env={'PELLANOR_SERVICE_URL': service.url()}, online=True) as session:
        page = session.main
        open_about(page)
        support_id = text_of(page, '#about-client-id')
        assert len(support_id) == 16, support_id

        shown = check_for_updates(page)
        assert shown == 'Version %s is available.' % OFFERED, shown
        assert service.requests('/api/versions/latest/?lang='), service.requests()
        page.screenshot('about-online-en-us')

        typed = 'Scan froze at 40 percent on drive D'
        shown = send_feedback(page, typed)
        assert shown == 'Thank you, your feedback was sent.', shown
        assert page.eval('document.getElementById("about-feedback").value') == ''
        posted = service.wait_for('/api/feedback/', 'the feedback')
        assert len(posted) == 1 and posted[0]['method'] == 'POST', posted
        body = json.loads(posted[0]['body'])
        assert body['content'] == typed, body
        # What support is told to quote is what the service files the message under.
        assert body['client_id'] == support_id, (body, support_id)
        assert body['app_version'] == page.eval('NativeUtil.nativeVersion'), body

        page.click('#about-history')
        history = page.eval('NativeUtil.historyWindowPath')
        session.attach(history.split('://', 1)[-1].split('/', 1)[-1], timeout=10)

        page.click('#about-copy')
        page.wait('Array.from(document.querySelectorAll("[role=status]"))'
                  '.some((n) => n.textContent === "Copied")', what='the Copied toast')


def usage_events_only_after_the_switch_is_on():
    with Service() as service, \
            harness.Session('en-us', env={'PELLANOR_SERVICE_URL': service.url()}, online=True) as session:
        page = session.main
        page.eval('App.report("junk_clean", {categories: 1})')
        page.click('#nav-settings')
        switch = 'button[data-setting="settings.usage"]'
        assert page.eval('document.querySelector(%r).getAttribute("aria-checked")' % switch) == 'false'
        page.click(switch)
        page.wait('document.querySelector(%r).getAttribute("aria-checked") === "true"' % switch)
        page.eval('App.report("chat_clean", {categories: 2, event_type: "renamed"})')
        events = service.wait_for('/api/events/', 'a usage event')
        time.sleep(1.5)  # a send still in flight for the switched-off event would land by now
        kinds = [json.loads(e['body']).get('event_type') for e in service.requests('/api/events/')]
        assert kinds == ['chat_clean'], kinds
        assert json.loads(events[0]['body'])['categories'] == 2
        measure_junk(page)
        deadline = time.monotonic() + 15
        while len(service.requests('/api/events/')) < 2 and time.monotonic() < deadline:
            time.sleep(0.1)

        # Off again: the very next scan stays home, without a restart.
        page.click('#nav-settings')
        page.click(switch)
        page.wait('document.querySelector(%r).getAttribute("aria-checked") === "false"' % switch)
        assert page.eval('NativeUtil.getSetting("usageData", "")') == '0'
        measure_junk(page)
        assert page.eval('App.report("chat_clean", {categories: 1})') is False
        time.sleep(1.5)
        kinds = [json.loads(e['body']).get('event_type') for e in service.requests('/api/events/')]
        assert kinds == ['chat_clean', 'junk_scan'], kinds


def measure_junk(page):
    """Measures the junk categories through the page, as the user does, and waits for the rows."""
    open_section(page, 'junk')
    page.eval('document.querySelectorAll("#section-junk input[data-type]").forEach((b) => (b.dataset.e2eOld = "1"))')
    page.click('#section-junk .section-tools .button')
    page.wait('App.section("junk").state().phase === "results" && (() => {'
              ' const box = document.querySelector("#section-junk input[data-type]");'
              ' return box !== null && !box.dataset.e2eOld; })()', timeout=30, what='junk measured')


def feedback_refuses_an_empty_message_and_sends_a_long_one():
    with Service() as service, \
            harness.Session('en-us', env={'PELLANOR_SERVICE_URL': service.url()}, online=True) as session:
        page = session.main
        open_about(page)
        # Nothing typed, or only blanks: the page says so and asks nothing of the service.
        for typed in ('', ' \n\t '):
            page.eval('(() => { const f = document.getElementById("about-feedback"); f.value = %s;'
                      ' f.dispatchEvent(new Event("input")); })()' % json.dumps(typed))
            page.eval('document.getElementById("about-feedback-status").textContent = ""')
            page.click('#about-send')
            plain(page, page.wait('document.getElementById("about-feedback-status").textContent'), 'about.empty')
        time.sleep(1.0)
        assert service.requests('/api/feedback/') == [], service.requests()

        # A long message in several scripts arrives whole, as typed.
        long_text = ('Der Scan hängt bei 40 % — スキャンが止まります — สแกนค้าง 🙂\n' * 250).strip()
        page.eval('(() => { const f = document.getElementById("about-feedback"); f.value = %s;'
                  ' f.dispatchEvent(new Event("input")); })()' % json.dumps(long_text))
        page.eval('document.getElementById("about-feedback-status").textContent = ""')
        page.click('#about-send')
        shown = page.wait('document.querySelector("#section-about .busy") === null && '
                          'document.getElementById("about-feedback-status").textContent',
                          timeout=15, what='the feedback verdict')
        plain(page, shown, 'about.sent')
        posted = service.wait_for('/api/feedback/', 'the long feedback')
        assert len(posted) == 1, posted
        assert json.loads(posted[0]['body'])['content'] == long_text
        for code in ('en-us', 'de-de', 'ja-jp'):
            page.eval('App.setLanguage(%s)' % json.dumps(code))
            page.wait('document.documentElement.lang === %s' % json.dumps(code))
            page.eval('document.getElementById("about-feedback").scrollIntoView({block: "start"})')
            page.screenshot('about-feedback-' + code)
            page.eval('document.getElementById("about-online").scrollIntoView({block: "end"})')
            read = decoded_qr(page.screenshot('about-qr-' + code))
            assert read in (None, [page.eval('BrandConfig.links.feedback')]), read


def failing_service_says_so_in_german():
    with Service() as service, \
            harness.Session('de-de', env={'PELLANOR_SERVICE_URL': service.url('/status/500')},
                            online=True, settings={'autoCheckUpdate': '1'}) as session:
        page = session.main
        # Nobody asked for the automatic check: its failure is logged, never shown.
        page.wait('UpdateCheck.state().outcome === "failed"', what='the automatic check')
        assert latest_asked(service) == 1, service.requests()
        assert page.eval('document.querySelector("#home-update, #nav-about .nav-badge") === null')
        open_about(page)
        assert text_of(page, '#about-update-status') == ''
        plain(page, check_for_updates(page), 'error.service')
        assert service.requests('/status/500/api/versions/latest/'), service.requests()
        assert page.eval('document.getElementById("about-update-status").classList.contains("error")')
        page.screenshot('about-failed-de-de')
        typed = 'Der Scan hat sich aufgehangen'
        plain(page, send_feedback(page, typed), 'about.sendFailed')
        assert page.eval('document.getElementById("about-feedback").value') == typed
        page.screenshot('about-feedback-failed-de-de')

        history = open_history(session, page)
        plain(history, history.eval('document.querySelector("#body .banner-text span").textContent'),
              'error.service')
        assert service.requests('/status/500/api/versions/?lang='), service.requests()


def service_down_keeps_the_draft():
    url = 'http://127.0.0.1:%d' % harness.free_port()  # nothing listens there
    with harness.Session('en-us', env={'PELLANOR_SERVICE_URL': url}, online=True) as session:
        page = session.main
        open_about(page)
        plain(page, check_for_updates(page), 'error.server')
        typed = 'Please add a dark theme'
        plain(page, send_feedback(page, typed), 'about.sendFailed')
        # The draft outlives a visit elsewhere, and is not sent twice by it.
        page.click('#nav-home')
        page.wait('App.current() === "home"')
        open_about(page)
        assert page.eval('document.getElementById("about-feedback").value') == typed
        # Offline: the page says so before trying, and still keeps the text.
        harness.describe_network(os.path.join(session.run_dir, 'net'), False)
        page.click('#about-send')
        shown = page.wait('document.getElementById("about-feedback-status").textContent')
        plain(page, shown, 'about.offline')
        assert page.eval('document.getElementById("about-feedback").value') == typed
        page.screenshot('about-offline-en-us')


def automatic_check_and_history():
    routes = {'/api/versions/latest/': {'version': OFFERED, 'notes': 'Faster scans'}}
    with Service(routes) as service, \
            harness.Session('en-us', env={'PELLANOR_SERVICE_URL': service.url()}, online=True,
                            settings={'autoCheckUpdate': '1'}) as session:
        page = session.main
        net = os.path.join(session.run_dir, 'net')
        page.wait('UpdateCheck.state().outcome === "available"', what='the automatic check')
        assert latest_asked(service) == 1, service.requests()
        banner = page.wait('(document.querySelector("#home-update .banner-text") || {}).textContent')
        assert banner == 'Version %s is available' % OFFERED, banner
        assert page.eval('document.querySelector("#nav-about .nav-badge") !== null')
        kept = float(page.eval('NativeUtil.getSetting("lastUpdateCheck", "")'))
        assert 0 <= page.eval('Date.now()') - kept < 60 * 1000, kept
        page.screenshot('home-update-en-us')

        # At most once a day; a stored time that cannot be a past check costs one check, not
        # all of them; without a default route nothing is asked and nothing is kept.
        cases = [  # stored time (ms before now, or a text; None keeps the last), online, outcome, asks
            (None, True, 'recent', False),
            (23 * HOUR_MS, True, 'recent', False),
            (25 * HOUR_MS, True, 'available', True),
            (-2 * HOUR_MS, True, 'available', True),
            ('not a time', True, 'available', True),
            (25 * HOUR_MS, False, 'offline', False),
        ]
        for stored, online, outcome, asks in cases:
            if isinstance(stored, int):
                page.eval('NativeUtil.setSetting("lastUpdateCheck", String(Date.now() - %d))' % stored)
            elif stored is not None:
                page.eval('NativeUtil.setSetting("lastUpdateCheck", %s)' % json.dumps(stored))
            harness.describe_network(net, online)
            before = latest_asked(service)
            got = page.eval('UpdateCheck.run()')
            asked = latest_asked(service) - before
            assert (got, asked) == (outcome, 1 if asks else 0), (stored, online, got, asked)
        harness.describe_network(net, True)

        open_about(page)
        assert text_of(page, '#about-update-status') == 'Version %s is available.' % OFFERED

        history = open_history(session, page)
        assert shown_versions(history) == NEWEST_FIRST, shown_versions(history)
        running = page.eval('NativeUtil.nativeVersion')
        assert running in NEWEST_FIRST, running
        marked = history.eval('Array.from(document.querySelectorAll(".version[aria-current]"))'
                              '.map((n) => n.dataset.version)')
        assert marked == [running], marked
        tags = history.eval('Array.from(document.querySelectorAll(".version"))'
                            '.map((n) => (n.querySelector(".tag") || {}).textContent || "")')
        assert tags == ['Newer', 'Newer', 'Installed', ''], tags
        notes = history.eval('Array.from(document.querySelectorAll(".version")).map((n) =>'
                             ' Array.from(n.querySelectorAll(".version-notes li")).map((l) => l.textContent))')
        assert notes == [['Faster duplicate scans', 'Large files can be moved'], [],
                         ['Start-up items can be restored', 'Quieter tray menu'], ['Chat apps: QQ']], notes
        assert history.eval('document.querySelector(".version-date").textContent') == 'Sep 1, 2026'
        assert text_of(history, '#running') == 'You have version %s.' % running
        history.screenshot('history-en-us')

        # Asked again, the open window comes forward; no second window, no second request.
        page.click('#about-history')
        time.sleep(1.5)
        assert len(history_windows(session)) == 1, history_windows(session)
        assert len(service.requests('/api/versions/?lang=')) == 1, service.requests('/api/versions/')
        history.press('Escape', window_title=history.eval('document.title'))
        deadline = time.monotonic() + 10
        while history_windows(session) and time.monotonic() < deadline:
            time.sleep(0.1)
        assert history_windows(session) == [], 'Esc left the history open'

        # A language chosen in the main window reaches a new history window and an open one.
        for code, title in (('de-de', 'Versionsverlauf'), ('ja-jp', 'バージョン履歴')):
            page.eval('App.setLanguage(%s)' % json.dumps(code))
            history = open_history(session, page)
            history.wait('document.querySelector(".titlebar-name").textContent === %s' % json.dumps(title),
                         what='the history in ' + code)
            assert shown_versions(history) == NEWEST_FIRST
            history.screenshot('history-' + code)
            page.click('#nav-home')
            page.wait('(document.querySelector("#home-update .banner-text") || {}).textContent === %s'
                      % json.dumps(page.eval('MainStrings.t("home.updateAvailable", %s)' % json.dumps(OFFERED))))
            page.screenshot('home-update-' + code)
        assert len(history_windows(session)) == 1, history_windows(session)

        for code in harness.LANGUAGES:
            page.eval('App.setLanguage(%s)' % json.dumps(code))
            page.eval('PageWindows.open(%s, "history")' % json.dumps(HISTORY_URL))
            history.wait('document.documentElement.lang === %s' % json.dumps(code), what='history in ' + code)
            faults = page.eval(LAYOUT_FAULTS % (json.dumps(BANNER_PARTS), json.dumps(BANNER_PARTS)))
            faults += history.eval(LAYOUT_FAULTS % (json.dumps(HISTORY_PARTS), json.dumps(HISTORY_PARTS)))
            assert faults == [], (code, faults)

        # Hidden for now: the badge stays. The banner's button opens the updater, or About
        # while there is no updater page.
        page.eval('UpdateCheck.note({version: %s})' % json.dumps(OFFERED))
        page.wait('document.getElementById("home-update") !== null')
        page.click('#home-update-open')
        if os.path.exists(os.path.join(harness.BUILD, 'app', 'pages', 'upgrader', 'upgrader.html')):
            session.attach('upgrader/upgrader.html', timeout=15)
        else:
            page.wait('App.current() === "about"', what='About instead of a missing updater')
        page.click('#nav-home')
        page.click('#home-update-hide')
        page.wait('document.getElementById("home-update") === null')
        assert page.eval('document.querySelector("#nav-about .nav-badge") !== null')


# --- Usage events ------------------------------------------------------------------------------

# Each event type with exactly the fields it carries (besides the identity the program adds).
EVENT_FIELDS = {
    'junk_scan': {'categories', 'bytes', 'duration_ms', 'outcome'},
    'junk_clean': {'categories', 'freed_bytes', 'left', 'skipped', 'duration_ms', 'outcome'},
    'chat_scan': {'categories', 'bytes', 'duration_ms', 'outcome'},
    'chat_clean': {'categories', 'freed_bytes', 'left', 'duration_ms', 'outcome'},
    'large_scan': {'files', 'bytes', 'min_mb', 'folders', 'duration_ms', 'outcome'},
    'large_delete': {'files', 'bytes', 'failed', 'duration_ms', 'outcome'},
    'dup_scan': {'groups', 'files', 'reclaimable_bytes', 'folders', 'duration_ms', 'outcome'},
    'dup_delete': {'files', 'bytes', 'failed', 'duration_ms', 'outcome'},
    'startup_remove': {'outcome', 'undoable', 'all_users'},
    'uninstall_start': {'outcome'},
    'tool_run': {'tool', 'outcome', 'duration_ms'},
}
# The only texts an event may hold besides the identity: outcomes and our own tools' names.
EVENT_WORDS = {'done', 'stopped', 'failed', 'none', 'started', 'restart', 'remove_folder',
               'previous_windows', 'move_pagefile', 'hibernation_off', 'desktop_shortcut'}
IDENTITY = {'event_type', 'client_id', 'app_version'}
# What the profile names: none of it may leave in an event, in any spelling.
PRIVATE_WORDS = ['holiday', 'backup', 'photo', 'wxid', 'wechat', 'tencent', 'notes', 'gone app',
                 '.desktop', '.mp4', '.zip', '.jpg', 'home', '/', '\\\\']

# App.report's own filter, one field at a time: (field, value, what arrives or None).
REPORT_FILTER = [
    ('count', 3, 3),
    ('ratio', 2.6, 3),
    ('ok', True, True),
    ('outcome', 'done', 'done'),
    ('tool', 'desktop_shortcut', 'desktop_shortcut'),
    ('path', 'C:\\Users\\Ana\\Videos', None),
    ('folder', '/home/ana/Videos', None),
    ('name', 'holiday.mp4', None),
    ('program', 'Gone App', None),
    ('outcome_text', 'Done', None),
    ('nested', {'path': '/home'}, None),
    ('list', [1, 2], None),
    ('missing', None, None),
    ('Bytes', 5, None),
    ('event_type', 'renamed', None),
]


def prepare_usage(profile, env):
    startup = os.path.join(profile.roaming, 'Microsoft', 'Windows', 'Start Menu', 'Programs', 'Startup')
    for name in ('Notes.desktop', 'Backup.desktop'):
        harness.write(os.path.join(startup, name), text='[Desktop Entry]\nExec=true\n')
    # An uninstaller that is not there: the start fails, and the event says nothing of the program.
    register_program(env, 'GoneApp', {'DisplayName': 'Gone App', 'Publisher': 'Nobody',
                                      'UninstallString': '"C:\\Program Files\\Gone App\\uninst.exe" /quiet'})


def junk_round(page, keep):
    """Measures the junk, leaves only `keep` ticked and cleans it."""
    open_section(page, 'junk')
    page.click('#section-junk .section-tools .button')
    page.wait('App.section("junk").state().phase === "results"', timeout=30, what='junk measured')
    boxes = page.eval('Array.from(document.querySelectorAll("#section-junk input[data-type]"))'
                      '.filter((b) => !b.disabled).map((b) => [b.dataset.type, b.checked])')
    for kind, checked in boxes:
        if checked != (kind in keep):
            page.click('#section-junk input[data-type=%s]' % kind)
    page.click('#section-junk .action-bar .button.primary')
    answer(page, go=True)
    page.wait('App.section("junk").state().phase === "done"', timeout=60, what='junk cleaned')


def chat_round(page, app):
    open_section(page, 'chat')
    page.click('#chat-tab-' + app)
    page.click('#section-chat .section-tools .button')
    page.wait('document.querySelectorAll("#section-chat .row-size").length === 4 && '
              '!document.querySelector("#section-chat .progress-panel")', timeout=30, what=app + ' scan')
    page.click('#section-chat .action-bar .button.primary')
    answer(page, go=True)
    page.wait('document.querySelector("#section-chat .result") !== null', timeout=60, what=app + ' clean')


def scan_round(page, section, delete=None):
    """Scans `section`; then ticks the files named in `delete` (for duplicates: the copies that
    Keep newest leaves ticked) and deletes them behind the confirm."""
    debug = 'App.section(%r).debug' % section
    open_section(page, section)
    page.eval(debug + '.state.scanned = false')
    page.click('#section-%s .section-tools .button' % section)
    page.wait('%s.state.scanned && !%s.session.running' % (debug, debug), timeout=60,
              what=section + ' scan')
    if delete is None:
        return
    if section == 'dup':
        page.click_text('#section-dup .button', 'Keep newest')
    else:
        page.eval('%s.state.files.forEach((f) => { f.ticked = %s.includes(f.name); })'
                  % (debug, json.dumps(delete)))
    page.eval('App.section(%r).onDelete()' % section)
    confirm_and_go(page)
    page.wait('document.querySelector("#section-%s .result") !== null' % section, timeout=60,
              what=section + ' deleted')
    page.click_text('#section-%s .result .button' % section, 'Done')


def startup_round(page, name):
    open_section(page, 'startup')
    rows = 'document.querySelectorAll("#section-startup .startup-row").length'
    before = page.wait(rows, what='start-up list')
    page.eval('Array.from(document.querySelectorAll("#section-startup .startup-row"))'
              '.find((r) => r.querySelector(".row-name").textContent.startsWith(%s))'
              '.querySelectorAll(".button")[1].setAttribute("data-e2e", "remove")' % json.dumps(name))
    page.click('[data-e2e=remove]')
    confirm_and_go(page)
    page.wait('%s === %d' % (rows, before - 1), what='start-up item removed')


def uninstall_round(page):
    open_section(page, 'programs')
    page.eval('(document.querySelector("#section-programs .banner") || {}).hidden = true')
    press_uninstall(page, 'Gone App')
    answer(page, go=True)
    page.wait('(() => { const b = document.querySelector("#section-programs .banner");'
              ' return b && !b.hidden && b.className.includes("danger"); })()', what='launch failure')


def tool_round(page):
    open_section(page, 'tools')
    # Tools measures the page file on entry, behind its busy layer.
    page.wait('document.querySelector(".busy") === null', what='Tools ready')
    page.eval('document.querySelector("#tool-shortcut .tool-result").className = "tool-result"')
    page.click('#tool-shortcut .button')
    page.wait('/tool-result-(ok|failed)/.test(document.querySelector("#tool-shortcut .tool-result").className)',
              what='shortcut result')


def every_section(page, first):
    """One user's round through every section that scans or cleans. The two rounds clean
    different things, so each has something to clean."""
    junk_round(page, {'temp'} if first else {'thumbcache', 'chrome', 'edge', 'firefox'})
    chat_round(page, 'wechat' if first else 'qq')
    scan_round(page, 'large', ['holiday.mp4'] if first else ['backup.zip'])
    scan_round(page, 'dup', None if first else 'newest')
    startup_round(page, 'Notes' if first else 'Backup')
    uninstall_round(page)
    tool_round(page)


def events_of(service):
    return [json.loads(e['body']) for e in service.requests('/api/events/')]


def event_faults(events, support_id, version, profile_root):
    """Everything in `events` that is not a count, a size, a duration or an outcome."""
    faults = []
    for event in events:
        kind = event.get('event_type')
        fields = set(event) - IDENTITY
        if kind not in EVENT_FIELDS or fields != EVENT_FIELDS[kind]:
            faults.append((kind, 'fields', sorted(fields)))
        if (event.get('client_id'), event.get('app_version')) != (support_id, version):
            faults.append((kind, 'identity', event.get('client_id'), event.get('app_version')))
        for key, value in event.items():
            if key in IDENTITY or isinstance(value, bool) or (isinstance(value, int) and value >= 0):
                continue
            if not isinstance(value, str) or value not in EVENT_WORDS:
                faults.append((kind, key, value))
        text = json.dumps({k: v for k, v in event.items() if k not in IDENTITY}).lower()
        faults += [(kind, 'names', word) for word in PRIVATE_WORDS + [profile_root.lower()]
                   if word in text]
    return faults


def existing_sentinels(profile):
    return [p for p in profile.sentinels if os.path.exists(p)]


def wait_events(service, count, timeout=20):
    deadline = time.monotonic() + timeout
    while len(events_of(service)) < count and time.monotonic() < deadline:
        time.sleep(0.2)
    time.sleep(1.5)  # one more than expected would have landed by now
    return events_of(service)


def usage_events_from_every_section():
    with Service() as service, \
            harness.Session('en-us', env={'PELLANOR_SERVICE_URL': service.url()}, online=True,
                            prepare=prepare_usage) as session:
        page, profile = session.main, session.profile
        page.eval('NativeUtil.setSetting("large.folders", %s)'
                  % json.dumps(json.dumps([{'path': os.path.join(profile.data, 'large')}])))
        page.eval('NativeUtil.setSetting("dup.folders", %s)'
                  % json.dumps(json.dumps([{'path': os.path.join(profile.data, 'dups'), 'protected': False}])))
        # Off by default, the switch says what would be sent, and nothing leaves.
        page.click('#nav-settings')
        switch = 'button[data-setting="settings.usage"]'
        assert page.eval('document.querySelector(%r).getAttribute("aria-checked")' % switch) == 'false'
        said = page.eval('document.getElementById("settings-usage").parentElement.innerText')
        assert 'counts, sizes and times' in said and 'never names, paths or files' in said, said
        every_section(page, True)
        time.sleep(1.5)  # an event sent by mistake would have landed by now
        assert events_of(service) == [], events_of(service)

        page.click('#nav-settings')
        page.click(switch)
        page.wait('document.querySelector(%r).getAttribute("aria-checked") === "true"' % switch)
        every_section(page, False)
        events = wait_events(service, len(EVENT_FIELDS))
        kinds = sorted(e['event_type'] for e in events)
        # One of each: the scan that follows a chat clean is part of the clean.
        assert kinds == sorted(EVENT_FIELDS), kinds
        support_id = page.eval('NativeUtil.getClientId()')
        faults = event_faults(events, support_id, page.eval('NativeUtil.nativeVersion'), profile.root)
        assert faults == [], faults
        by_kind = {e['event_type']: e for e in events}
        facts = [  # (event, field, expected)
            ('junk_scan', 'outcome', 'done'), ('junk_clean', 'categories', 4),
            ('junk_clean', 'outcome', 'done'), ('chat_scan', 'outcome', 'done'),
            ('chat_clean', 'categories', 1), ('chat_clean', 'outcome', 'done'),
            ('large_scan', 'files', 1), ('large_scan', 'bytes', 600 * harness.MIB),
            ('large_scan', 'min_mb', 100), ('large_scan', 'folders', 1),
            ('large_delete', 'files', 1), ('large_delete', 'bytes', 600 * harness.MIB),
            ('dup_scan', 'groups', 1), ('dup_scan', 'files', 3), ('dup_scan', 'outcome', 'done'),
            ('dup_delete', 'files', 2), ('dup_delete', 'failed', 0),
            ('startup_remove', 'outcome', 'done'), ('startup_remove', 'undoable', True),
            ('startup_remove', 'all_users', False),
            ('uninstall_start', 'outcome', 'failed'), ('tool_run', 'tool', 'desktop_shortcut'),
        ]
        wrong = [(kind, field, by_kind[kind].get(field), value) for kind, field, value in facts
                 if by_kind[kind].get(field) != value]
        assert wrong == [], wrong
        assert by_kind['junk_clean']['freed_bytes'] > 0 and by_kind['chat_clean']['freed_bytes'] > 0, by_kind
        assert existing_sentinels(profile) == profile.sentinels

        # The page's own filter: what is not a number, a yes or no, or a known word stays home;
        # an event whose own name is unusable is not sent at all.
        assert page.eval('App.report("Probe path", {count: 1})') is False
        fields = {name: value for name, value, _ in REPORT_FILTER}
        assert page.eval('App.report("probe_event", Object.assign(%s, {nan: NaN}))' % json.dumps(fields)) is True
        probe = wait_events(service, len(events) + 1)[len(events):]
        assert [e['event_type'] for e in probe] == ['probe_event'], probe
        kept = {name: arrives for name, _, arrives in REPORT_FILTER if arrives is not None}
        assert {k: v for k, v in probe[0].items() if k not in IDENTITY} == kept, probe[0]


# --- The feedback page: links and QR code ------------------------------------------------------

def prepare_opener(profile, env):
    """xdg-open stood in for by a script that notes what it was asked to open."""
    tools = os.path.join(profile.root, 'tools')
    profile.opened = os.path.join(profile.root, 'opened.txt')
    script(os.path.join(tools, 'xdg-open'), 'printf "%%s\\n" "$1" >> %s\n' % shlex.quote(profile.opened))
    env['PATH'] = tools + os.pathsep + env.get('PATH', '/usr/bin:/bin')


def decoded_qr(png):
    """The texts a QR reader finds in a picture (zbarimg, from zbar-tools), or None without one."""
    if not shutil.which('zbarimg'):
        return None
    done = subprocess.run(['zbarimg', '--quiet', '--raw', '-Sdisable', '-Sqrcode.enable', png],
                          capture_output=True, text=True, timeout=60)
    return done.stdout.split()


ONLINE_CARD = '''(() => {
    const card = document.getElementById("about-online");
    if (!card) return null;
    const qr = document.getElementById("about-qr");
    const src = qr ? qr.getAttribute("src") : "";
    return {links: Array.from(card.querySelectorAll("[data-link]")).map((b) => b.dataset.link),
            qr: qr ? decodeURIComponent(src.slice(src.indexOf(",") + 1)) : null,
            url: (document.getElementById("about-online-url") || {}).textContent || null};
})()'''


def brand_expression(page, expression):
    """`expression` evaluated with BrandConfig as the product ships it."""
    return page.eval('(() => { const BrandConfig = window.e2eBrand; return %s; })()' % expression)


def read_qr_on_screen(page, name, link):
    page.eval('document.getElementById("about-online").scrollIntoView({block: "end"})')
    read = decoded_qr(page.screenshot(name))
    if read is None:
        print('note: zbarimg (zbar-tools) is missing; the QR code was compared, not read')
    else:
        assert read == [link], (name, read)


def feedback_page_and_qr_code():
    with harness.Session('en-us', prepare=prepare_opener) as session:
        page, profile = session.main, session.profile
        open_about(page)
        link = page.eval('BrandConfig.links.feedback')
        assert link.startswith('https://') and '.' in link.split('/')[2], link
        card = page.wait(ONLINE_CARD, what='the online card')
        assert card['links'] == ['feedback'] and card['url'] == link, card
        # What the page shows is what the program draws for the link, and a reader gets the
        # link back from the picture on the screen.
        assert card['qr'] == cli(session.env, 'generateQrSvg', link)
        page.wait('document.getElementById("about-qr").naturalWidth > 0', what='the QR image')
        read_qr_on_screen(page, 'about-online-en-us', link)

        page.click('#about-online [data-link=feedback]')
        deadline = time.monotonic() + 10
        while not os.path.exists(profile.opened) and time.monotonic() < deadline:
            time.sleep(0.1)
        with open(profile.opened) as opened:
            assert opened.read().split() == [link]

        # Other releases' links: only https pages are offered, the QR code goes to the feedback
        # page or else the support page, and without a page the card is not there at all.
        page.eval('window.e2eBrand = BrandConfig')
        base = 'BrandConfig.links.feedback'
        help_page = base + '.replace("feedback", "help")'
        cases = [  # links (JS expression), buttons offered (None: no card), the QR's link (JS)
            ('{}', None, None),
            ('{feedback: "", support: "", website: "", privacy: ""}', None, None),
            ('{feedback: %s.replace("https:", "http:")}' % base, None, None),
            ('{website: "javascript:alert(1)", privacy: "file:///etc/passwd"}', None, None),
            ('{support: %s}' % help_page, ['support'], help_page),
            ('{website: %s.replace("feedback/", ""), privacy: %s.replace("feedback", "privacy")}'
             % (base, base), ['website', 'privacy'], None),
            ('{feedback: %s, support: %s, website: "not an address"}' % (base, help_page),
             ['feedback', 'support'], base),
        ]
        for links, offered, qr_link in cases:
            page.eval('window.BrandConfig = Object.freeze(Object.assign({}, window.e2eBrand, {links: %s}));'
                      ' PellanorUI.show("about")' % json.dumps(brand_expression(page, links)))
            card = page.eval(ONLINE_CARD)
            if offered is None:
                assert card is None, (links, card)
                continue
            want = brand_expression(page, qr_link) if qr_link else None
            assert card['links'] == offered and card['url'] == want, (links, card)
            assert card['qr'] == (cli(session.env, 'generateQrSvg', want) if want else None), links
        page.eval('window.BrandConfig = window.e2eBrand; PellanorUI.show("about")')

        parts = '#about-online *'
        for code in harness.LANGUAGES:
            page.eval('App.setLanguage(%s)' % json.dumps(code))
            page.wait('document.documentElement.lang === %s && document.getElementById("about-qr") !== null'
                      % json.dumps(code), what='About in ' + code)
            faults = page.eval(LAYOUT_FAULTS % (json.dumps(parts), json.dumps(parts)))
            assert faults == [], (code, faults)
            if code in ('de-de', 'ja-jp'):
                read_qr_on_screen(page, 'about-online-' + code, link)


# How the pages read the service's answers: (expression, expected value).
VERSION_READING = [
    ('Versions.compare("1.10.0", "1.9.2") > 0', True),
    ('Versions.compare("v1.4", "1.4.0")', 0),
    ('Versions.compare("1.3.6", "1.3.6.1") < 0', True),
    ('Versions.newer("beta", "1.0")', False),
    ('Versions.newer("1.3.10", "1.3.9")', True),
    ('Versions.offered({data: {latest_version: "v2.1"}})', 'v2.1'),
    ('Versions.offered({version: "latest"})', ''),
    # The offer's other fields come from the object that names the version, never its wrapper.
    ('Versions.offer({version: "2", url: "a", data: {version: "3", url: "b"}}).url', 'a'),
    ('Versions.offer({url: "a", data: {versionName: "v3", url: "b"}}).url', 'b'),
    ('Versions.offer({version: "latest", data: []})', None),
    ('Versions.notes({notes: ["- one", " \u2022 two", "", 7]})', ['one', 'two']),
    ('Versions.notes(null)', []),
    ('Versions.errorKey({error: "request timeout"})', 'error.timeout'),
    ('Versions.errorKey({error: "Error transferring - server replied: Internal Server Error"})', 'error.service'),
    ('Versions.errorKey(null)', 'error.generic'),
    ('Versions.errorKey([])', ''),
    ('Versions.list({ok: true})', None),
    ('Versions.list([{version: "1.2"}, {version: "1.10"}, {date: "2026-01-01"}]).map((v) => v.version)',
     ['1.10', '1.2']),
    ('Versions.list({data: {list: [{version: "1.4"}, {version: "1.4.0"}]}}).length', 1),
    ('Versions.list({versions: [{version: "2", notes: "- one\\n* two\\n\\n• three"}]})[0].notes',
     ['one', 'two', 'three']),
    ('Versions.list({versions: [{versionName: "3.0", release_date: "2026-01-02", changelog: ["a", 7, " "]}]})[0]',
     {'version': '3.0', 'date': '2026-01-02', 'notes': ['a']}),
]


def history_offline_then_retry_and_no_automatic_check():
    with Service() as service, \
            harness.Session('de-de', env={'PELLANOR_SERVICE_URL': service.url()}, online=True) as session:
        page = session.main
        page.wait('UpdateCheck.state().outcome === "off"', what='the switched-off check')
        net = os.path.join(session.run_dir, 'net')
        harness.describe_network(net, False)
        history = open_history(session, page)
        assert history.eval('HistoryPage.state().phase') == 'failed'
        plain(history, history.eval('document.querySelector("#body .banner-text span").textContent'),
              'error.network')
        # Offline the page says so at once, without a blocking call, and Retry is where focus is.
        assert service.requests('/api/versions/') == [], service.requests()
        assert history.eval('document.activeElement.id') == 'retry'
        history.screenshot('history-offline-de-de')
        harness.describe_network(net, True)
        history.click('#retry')
        history.wait('HistoryPage.state().phase === "list"', what='the list after Retry')
        assert shown_versions(history) == NEWEST_FIRST, shown_versions(history)
        assert len(service.requests('/api/versions/?lang=')) == 1, service.requests()
        # Switched off (the profile's default): the service never heard of an update check.
        assert latest_asked(service) == 0, service.requests()
        wrong = [(expression, got, expected) for expression, expected in VERSION_READING
                 for got in [history.eval(expression)] if got != expected]
        assert wrong == [], wrong
        history.eval('PellanorUI.show("history", "loading")')
        history.screenshot('history-loading-de-de')


if __name__ == '__main__':
    harness.run([offered_version_and_feedback_reach_the_user_and_the_service,
                 usage_events_only_after_the_switch_is_on,
                 usage_events_from_every_section,
                 feedback_page_and_qr_code,
                 feedback_refuses_an_empty_message_and_sends_a_long_one,
                 failing_service_says_so_in_german,
                 service_down_keeps_the_draft,
                 automatic_check_and_history,
                 history_offline_then_retry_and_no_automatic_check])
