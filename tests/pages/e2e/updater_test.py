"""The updater window against the local test service: an offered version is downloaded, checked
against the published digest, and Install starts the installer (a script that writes a marker)
and ends Pellanor; a download that does not match is refused and deleted; a cancelled download
leaves nothing in the temp folder; offline, an unreachable and a slow service each get their own
sentence in the page's language, with a Retry that asks again."""
import contextlib
import hashlib
import json
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from online_test import (HISTORY, HISTORY_URL, NEWEST_FIRST, Service, check_for_updates,  # noqa: E402
                         open_about, shown_versions)
sys.path.insert(0, os.path.join(harness.REPO, 'tests', 'net'))
import test_service  # noqa: E402

OFFERED = '9.1.0'
INSTALLER_NAME = 'Pellanor-%s-setup.exe' % OFFERED
UPDATER_PAGE = 'upgrader/upgrader.html'
STATES = ['checking', 'current', 'available', 'downloading', 'downloading-unknown', 'verifying', 'ready',
          'failed']


class UpdateService(Service):
    """The test service offering an installer script, padded so that a trickled download of it
    takes a few seconds; the script writes `marker` when run."""

    def __init__(self, padding_kib=200):
        super().__init__()
        self.padding_kib = padding_kib

    def __enter__(self):
        self.own = tempfile.mkdtemp(prefix='pellanor-e2e-installer-')
        self.marker = os.path.join(self.own, 'installed.txt')
        self.installer = os.path.join(self.own, INSTALLER_NAME)
        with open(self.installer, 'w', encoding='utf-8') as script:
            script.write('#!/bin/sh\necho "installer ran in $(pwd)" > \'%s\'\n' % self.marker)
            script.write(('# padding so that a slow download can be cancelled midway\n' * 18) * self.padding_kib)
        with open(self.installer, 'rb') as script:
            self.digest = hashlib.sha256(script.read()).hexdigest()
        self.options = ['--installer', self.installer, '--offer', OFFERED]
        return super().__enter__()

    def __exit__(self, *exc):
        super().__exit__(*exc)
        shutil.rmtree(self.own, ignore_errors=True)
        return False


# What the test service writes as the offered version's notes, by the language asked for.
NOTES = {code: text.split('\n') for code, text in test_service.LATEST_NOTES.items()}


def updater_state(page):
    return page.eval('UpdaterPage.state()')


def wait_state(page, name, timeout=20):
    page.wait('UpdaterPage.state().name === %s' % json.dumps(name), timeout=timeout,
              what='the updater to be ' + name)
    return updater_state(page)


def text(page, element_id):
    return page.eval('document.getElementById(%s).textContent' % json.dumps(element_id))


def expected(page, key, *args):
    return page.eval('MainStrings.t(%s)' % ', '.join(json.dumps(a) for a in (key,) + args))


def shown_notes(page):
    return page.eval('Array.from(document.querySelectorAll("#notes li")).map((l) => l.textContent)')


def offers_retry(page):
    """Retry is the focused first choice, and Close the way out."""
    buttons = page.eval('[document.getElementById("primary").textContent, document.getElementById("secondary")'
                        '.textContent, document.activeElement.id]')
    return buttons == [expected(page, 'common.retry'), expected(page, 'common.close'), 'primary']


def temp_entries(page):
    """What is in the folder the updater downloads to, as names."""
    folder = page.eval('NativeUtil.getTempPath()')
    assert folder and os.path.isdir(folder), folder
    return folder, sorted(os.listdir(folder))


def no_download_left(page):
    folder, names = temp_entries(page)
    leftovers = [n for n in names if INSTALLER_NAME.split('.')[0] in n or n.endswith('.part')]
    assert leftovers == [], (folder, leftovers)


def open_updater_from_about(session):
    page = session.main
    open_about(page)
    shown = check_for_updates(page)
    assert shown == expected(page, 'about.available', OFFERED), shown
    updater = session.attach(UPDATER_PAGE, timeout=15)
    updater.wait('window.UpdaterPage && UpdaterPage.state().name !== "checking"', what='the update check')
    return updater


def open_updater_directly(session):
    session.main.eval('UpdateCheck.openUpdater().then(() => true)')
    updater = session.attach(UPDATER_PAGE, timeout=15)
    updater.wait('window.UpdaterPage && UpdaterPage.state().name !== "checking"', what='the update check')
    return updater


def shoot_every_state(page, language):
    """Each state from made-up data, looked at in the page's language: nothing clipped, nothing
    wider than the window, no key or placeholder left showing."""
    for name in STATES:
        assert page.eval('PellanorUI.show("updater", %s, %s)' % (json.dumps(name), json.dumps(NOTES[language]))) is True, name
        page.eval('new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)))')
        problems = page.eval('''(() => {
            const out = [];
            if (document.documentElement.scrollWidth > innerWidth) out.push('page wider than window');
            for (const e of document.querySelectorAll('button, h1, h2, p, li, span')) {
                if (e.closest('[hidden]') || e.getClientRects().length === 0) continue;
                const data = e.title !== '' && e.title.length >= e.textContent.length;  // shortened, whole in title
                if (e.scrollWidth > e.clientWidth + 1 && !data) out.push('clipped: ' + e.id + ' ' + e.textContent);
                if (/^[a-z]+(\\.[A-Za-z]+)+$/.test(e.textContent.trim()) || /\\{\\d\\}/.test(e.textContent)) {
                    out.push('raw text: ' + e.textContent);
                }
            }
            return out;
        })()''')
        assert problems == [], (language, name, problems)
        page.screenshot('updater-%s-%s' % (name, language))
    unknown = page.eval('PellanorUI.show("updater", "downloading-unknown") && '
                        'document.getElementById("bar").classList.contains("indeterminate")')
    assert unknown is True, 'a download of unknown size needs the indeterminate bar'


def update_is_downloaded_checked_installed_and_pellanor_quits():
    with UpdateService(padding_kib=4) as service, \
            harness.Session('en-us', env={'PELLANOR_SERVICE_URL': service.url()}, online=True) as session:
        updater = open_updater_from_about(session)
        state = wait_state(updater, 'available')
        assert state['offer']['sha256'] == service.digest, state
        assert text(updater, 'headline') == expected(updater, 'updater.available', OFFERED)
        assert shown_notes(updater) == NOTES['en-us'], shown_notes(updater)
        assert 'KB' in text(updater, 'subline'), text(updater, 'subline')  # the download size
        updater.screenshot('updater-live-available-en-us')

        updater.click('#primary')
        state = wait_state(updater, 'ready')
        downloaded = state['path']
        with open(downloaded, 'rb') as got, open(service.installer, 'rb') as published:
            assert got.read() == published.read()
        assert os.path.dirname(downloaded) == temp_entries(updater)[0], downloaded
        updater.screenshot('updater-live-ready-en-us')

        # The file is started as it was downloaded (on Linux the program made it executable),
        # and Pellanor ends once it runs.
        updater.click('#primary')
        session.process.wait(20)
        deadline = time.monotonic() + 10
        while not os.path.exists(service.marker) and time.monotonic() < deadline:
            time.sleep(0.1)
        with open(service.marker, encoding='utf-8') as marker:
            assert marker.read().strip() == 'installer ran in ' + os.path.dirname(downloaded)
        log = session.log_text()
        # A real quit, not a hide to the tray; the broadcast may close this copy before exitApp runs.
        lines = [' '.join(line.split()[5:]) for line in log.splitlines()
                 if 'Updater' in line or 'WM_CLOSE' in line or 'exitApp' in line]
        assert any('installer started, quitting' in line for line in lines), lines
        assert any('WM_CLOSE allowed for app quit' in line for line in lines), lines


def tampered_download_is_refused_and_deleted():
    with UpdateService(padding_kib=4) as service, \
            harness.Session('de-de', env={'PELLANOR_SERVICE_URL': service.url('/tamper')},
                            online=True) as session:
        updater = open_updater_from_about(session)
        wait_state(updater, 'available')
        assert shown_notes(updater) == NOTES['de-de'], shown_notes(updater)
        updater.screenshot('updater-live-available-de-de')
        updater.click('#primary')
        state = wait_state(updater, 'failed')
        assert state['failure']['key'] == 'updater.mismatch', state
        assert offers_retry(updater)
        assert text(updater, 'message') == expected(updater, 'updater.mismatch')
        assert not os.path.exists(state['path']), state['path']
        no_download_left(updater)
        assert service.requests('/tamper/installer/' + INSTALLER_NAME)
        updater.screenshot('updater-live-refused-de-de')
        assert 'refused ' + state['path'] in session.log_text()
        shoot_every_state(updater, 'de-de')


def cancelled_download_leaves_nothing_and_can_start_again():
    with UpdateService(padding_kib=200) as service, \
            harness.Session('ja-jp', env={'PELLANOR_SERVICE_URL': service.url('/trickle')},
                            online=True) as session:
        updater = open_updater_from_about(session)
        wait_state(updater, 'available')
        assert shown_notes(updater) == NOTES['ja-jp'], shown_notes(updater)
        updater.screenshot('updater-live-available-ja-jp')
        updater.click('#primary')
        updater.wait('UpdaterPage.state().received >= 20 * 1024', timeout=20, what='part of the download')
        state = updater_state(updater)
        assert state['name'] == 'downloading' and state['total'] == os.path.getsize(service.installer), state
        assert updater.eval('document.getElementById("bar").getAttribute("aria-valuenow") !== null')
        updater.screenshot('updater-live-downloading-ja-jp')

        updater.click('#secondary')  # Cancel
        state = wait_state(updater, 'failed')
        assert state['failure'] == {'key': 'updater.cancelled', 'retry': 'download', 'args': []}, state
        time.sleep(1.5)  # whatever the transfer still delivers lands by now, and changes nothing
        assert updater_state(updater)['name'] == 'failed'
        no_download_left(updater)
        updater.screenshot('updater-live-cancelled-ja-jp')

        updater.click('#primary')  # Retry downloads again, and to the end
        state = wait_state(updater, 'ready', timeout=30)
        with open(state['path'], 'rb') as got:
            assert hashlib.sha256(got.read()).hexdigest() == service.digest
        shoot_every_state(updater, 'ja-jp')


def offline_then_unreachable_then_slow_each_say_so():
    unreachable = 'http://192.0.2.1:9'  # documentation address: nothing answers there
    with harness.Session('en-us', env={'PELLANOR_SERVICE_URL': unreachable}, online=False) as session:
        updater = open_updater_directly(session)
        state = wait_state(updater, 'failed')
        assert state['failure']['key'] == 'error.network', state
        assert text(updater, 'message') == expected(updater, 'error.network')
        updater.screenshot('updater-live-offline-en-us')
        # The network comes back; Retry asks again and now meets a service that is not there.
        harness.describe_network(os.path.join(session.run_dir, 'net'), True)
        updater.click('#primary')
        updater.wait('UpdaterPage.state().checks === 2 && UpdaterPage.state().name === "failed"')
        assert updater_state(updater)['failure']['key'] == 'error.server'
        assert text(updater, 'message') == expected(updater, 'error.server')
        # Asked for again from the main page: the open window answers, no second one opens.
        session.main.eval('UpdateCheck.openUpdater().then(() => true)')
        updater.wait('UpdaterPage.state().checks === 3 && UpdaterPage.state().name === "failed"')
        windows = [t for t in session.targets() if UPDATER_PAGE in t.get('url', '')]
        assert len(windows) == 1, windows
        read_offers_as_a_user_expects(updater)
        shoot_every_state(updater, 'en-us')

    # A service that answers too late, or with an error status: its own sentence, and Retry asks
    # the service again.
    for prefix, key in (('/delay/4000', 'error.timeout'), ('/status/500', 'error.service')):
        with Service() as service, \
                harness.Session('en-us', env={'PELLANOR_SERVICE_URL': service.url(prefix)},
                                online=True) as session:
            updater = open_updater_directly(session)
            state = wait_state(updater, 'failed')
            assert state['failure']['key'] == key, (prefix, state)
            assert text(updater, 'message') == expected(updater, key), prefix
            assert text(updater, 'headline') == expected(updater, 'updater.checkFailed'), prefix
            assert offers_retry(updater), prefix
            updater.click('#primary')
            updater.wait('UpdaterPage.state().checks === 2 && UpdaterPage.state().name === "failed"',
                         timeout=15, what='the second check')
            assert len(service.requests('/api/versions/latest/')) == 2, service.requests()
            no_download_left(updater)
            updater.screenshot('updater-live-%s-en-us' % key.replace('.', '-'))


def failed_downloads_say_why_retry_and_keep_nothing():
    """A download that breaks off, one the server refuses, and one that breaks off because the
    network went away: each its own sentence, Retry downloads again, and no file or part of one
    stays in the temp folder."""
    cases = [  # service prefix, page language, rounds of (online while downloading, failure key)
        ('/drop', 'en-us', [(True, 'updater.downloadFailed'), (False, 'error.network')]),
        ('/missing', 'de-de', [(True, 'updater.serverRefused')]),
    ]
    for prefix, language, rounds in cases:
        with UpdateService(padding_kib=40) as service, \
                harness.Session(language, env={'PELLANOR_SERVICE_URL': service.url(prefix)},
                                online=True) as session:
            net = os.path.join(session.run_dir, 'net')
            updater = open_updater_directly(session)
            wait_state(updater, 'available')
            for attempt, (online, key) in enumerate(rounds, 1):
                what = (prefix, online, key)
                harness.describe_network(net, online)
                updater.click('#primary')  # Download, then Retry in the same place
                updater.wait('UpdaterPage.state().downloads === %d && UpdaterPage.state().name === "failed"'
                             % attempt, what='download %d to fail' % attempt)
                state = updater_state(updater)
                assert state['failure'] == {'key': key, 'retry': 'download', 'args': []}, (what, state)
                assert text(updater, 'message') == expected(updater, key), what
                assert text(updater, 'headline') == expected(updater, 'updater.notDownloaded', OFFERED), what
                assert offers_retry(updater), what
                assert len(service.requests('/installer/')) == attempt, (what, service.requests('/installer/'))
                no_download_left(updater)
                updater.screenshot('updater-live-%s-%s' % (key.replace('.', '-'), language))


def history_in_the_asked_language_and_offline():
    """The version history asks in the language the user chose, lists newest first with the
    running version marked and the notes in that language; offline it says so and Retry loads."""
    by_version = {entry['version']: entry.get('notes', {}) for entry in test_service.VERSIONS}

    def notes_in(code):
        lines = by_version[NEWEST_FIRST[0]][code]
        return lines if isinstance(lines, list) else lines.split('\n')

    with Service() as service, \
            harness.Session('en-us', env={'PELLANOR_SERVICE_URL': service.url()}, online=True) as session:
        page = session.main
        net = os.path.join(session.run_dir, 'net')
        history = None
        running = page.eval('NativeUtil.nativeVersion')
        for code in ('en-us', 'de-de', 'ja-jp'):
            page.eval('App.setLanguage(%s)' % json.dumps(code))
            if history is None:
                page.eval('PageWindows.open(%s, "history")' % json.dumps(HISTORY_URL))
                history = session.attach(HISTORY, timeout=15)
            else:
                history.wait('document.documentElement.lang === %s' % json.dumps(code), what='history in ' + code)
                history.eval('HistoryPage.reload()')
            history.wait('window.HistoryPage && !HistoryPage.busy() && HistoryPage.state().phase === "list"',
                         timeout=20, what='the version history in ' + code)
            assert service.requests('/api/versions/?lang=' + code), service.requests('/api/versions/')
            assert shown_versions(history) == NEWEST_FIRST, (code, shown_versions(history))
            marked = history.eval('Array.from(document.querySelectorAll(".version[aria-current]"))'
                                  '.map((n) => n.dataset.version)')
            assert marked == [running], (code, marked)
            notes = history.eval('Array.from(document.querySelectorAll(".version:first-child .version-notes li"))'
                                 '.map((l) => l.textContent)')
            assert notes == notes_in(code), (code, notes)
            history.screenshot('history-list-' + code)

            harness.describe_network(net, False)
            asked = len(service.requests('/api/versions/'))
            history.eval('HistoryPage.reload()')
            history.wait('!HistoryPage.busy() && HistoryPage.state().phase === "failed"', what='offline in ' + code)
            shown = history.eval('document.querySelector("#body .banner-text span").textContent')
            assert shown == expected(history, 'error.network'), (code, shown)
            assert history.eval('document.activeElement.id') == 'retry', code
            assert len(service.requests('/api/versions/')) == asked, 'offline, the service is not asked'
            history.screenshot('history-offline-' + code)
            harness.describe_network(net, True)
            history.click('#retry')
            history.wait('!HistoryPage.busy() && HistoryPage.state().phase === "list"', what='Retry in ' + code)


def read_offers_as_a_user_expects(page):
    """The reading of the service's answer, the file name and the digest comparison, in the page."""
    digest = 'ab' * 32
    offer = {'version': '9.1.0', 'url': 'https://updates.example/x/Pellanor-9.1.0-setup.exe', 'sha256': digest,
             'size': 1000, 'notes': '- One\n\n* Two\n'}
    cases = [
        # answer, current version -> kind, key or selected fields
        ({'error': 'network disconnected'}, '1.3.6', {'kind': 'failed', 'key': 'error.network'}),
        ({'error': 'request timeout'}, '1.3.6', {'kind': 'failed', 'key': 'error.timeout'}),
        ({'error': 'Internal Server Error'}, '1.3.6', {'kind': 'failed', 'key': 'error.service'}),
        (['9.1.0'], '1.3.6', {'kind': 'failed', 'key': 'error.generic'}),
        ({'notes': 'no version'}, '1.3.6', {'kind': 'failed', 'key': 'error.generic'}),
        (dict(offer, version='1.3.6'), '1.3.6', {'kind': 'current'}),
        (dict(offer, version='v1.3.10'), '1.3.9', {'kind': 'available', 'version': 'v1.3.10'}),
        (dict(offer, version='1.4'), '1.3.6', {'kind': 'available', 'notes': ['One', 'Two'], 'size': 1000}),
        ({'data': offer}, '1.3.6', {'kind': 'available', 'sha256': digest}),
        (dict(offer, sha256=digest.upper()), '1.3.6', {'kind': 'available', 'sha256': digest}),
        (dict(offer, size='unknown'), '1.3.6', {'kind': 'available', 'size': -1}),
        # Read as About and the automatic check read it: numbers, not text; fields of the envelope
        # that names the version, never of its wrapper.
        (dict(offer, version='1.10.0'), '1.9.2', {'kind': 'available', 'version': '1.10.0'}),
        (dict(offer, version='v1.4'), '1.4.0', {'kind': 'current'}),
        ({'url': 'https://evil.example/x.exe', 'data': offer}, '1.3.6',
         {'kind': 'available', 'url': offer['url']}),
        (dict(offer, notes=['- One', ' \u2022 Two', '']), '1.3.6', {'kind': 'available', 'notes': ['One', 'Two']}),
        (None, '1.3.6', {'kind': 'failed', 'key': 'error.generic'}),
        # Nothing that could not be checked after download, or could be altered on the way, is offered.
        (dict(offer, sha256=''), '1.3.6', {'kind': 'failed', 'key': 'updater.noDownload'}),
        (dict(offer, sha256='12345'), '1.3.6', {'kind': 'failed', 'key': 'updater.noDownload'}),
        (dict(offer, url='http://updates.example/setup.exe'), '1.3.6', {'kind': 'failed', 'key': 'updater.noDownload'}),
        (dict(offer, url='ftp://updates.example/setup.exe'), '1.3.6', {'kind': 'failed', 'key': 'updater.noDownload'}),
        (dict(offer, url='http://127.0.0.1:8080/setup.exe'), '1.3.6', {'kind': 'available'}),
    ]
    for answer, current, want in cases:
        got = page.eval('UpdateOffer.read(%s, %s)' % (json.dumps(answer), json.dumps(current)))
        assert {k: got.get(k) for k in want} == want, (answer, current, got)
    names = [
        ('https://u.example/d/Pellanor-9.1.0-setup.exe?sig=1', '9.1.0', 'Pellanor-9.1.0-setup.exe'),
        ('https://u.example/d/..%2F..%2Fevil.exe', '9.1.0', 'Pellanor-9.1.0-setup.exe'),
        ('https://u.example/d/.hidden.exe', '9.1.0', 'Pellanor-9.1.0-setup.exe'),
        ('https://u.example/download', '9.1.0', 'Pellanor-9.1.0-setup.exe'),
        ('https://u.example/d/a%20b.exe', '9/../1', 'Pellanor-9.1-setup.exe'),
        ('not a url', '', 'Pellanor-update-setup.exe'),
    ]
    for url, version, name in names:
        got = page.eval('UpdateOffer.fileName(%s, %s)' % (json.dumps(url), json.dumps(version)))
        assert got == name, (url, version, got)
    digests = [(digest, digest, True), (digest.upper(), digest, True), ('', '', False),
               ('', digest, False), (digest[:-1] + 'c', digest, False)]
    for actual, published, same in digests:
        got = page.eval('UpdateOffer.sameDigest(%s, %s)' % (json.dumps(actual), json.dumps(published)))
        assert got is same, (actual, published, got)
    errors = [('request timeout', 'error.timeout'), ('save file failed: disk full', 'updater.saveFailed'),
              ('Connection refused', 'updater.downloadFailed'), ('', 'updater.downloadFailed'),
              ('Error transferring http://127.0.0.1:8080/x.exe - server replied: Not Found', 'updater.serverRefused'),
              ('redirect not followed: HTTP status 302', 'updater.serverRefused')]
    for error, key in errors:
        assert page.eval('UpdateOffer.downloadErrorKey(%s)' % json.dumps(error)) == key, error


if __name__ == '__main__':
    harness.run([update_is_downloaded_checked_installed_and_pellanor_quits,
                 tampered_download_is_refused_and_deleted,
                 cancelled_download_leaves_nothing_and_can_start_again,
                 offline_then_unreachable_then_slow_each_say_so,
                 failed_downloads_say_why_retry_and_keep_nothing,
                 history_in_the_asked_language_and_offline])
