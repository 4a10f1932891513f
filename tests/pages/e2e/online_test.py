"""About & feedback and the usage-data switch against the local test service of the network tests:
an offered version is shown, a failing or absent service gives a plain sentence in the page's
language, feedback reaches the service with the typed text and this PC's support id, a failed
send keeps the draft, and usage events flow only after the user switches them on."""
import contextlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

SERVICE = os.path.join(harness.REPO, 'tests', 'net', 'test_service.py')
OFFERED = '9.1.0'


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


def failing_service_says_so_in_german():
    with Service() as service, \
            harness.Session('de-de', env={'PELLANOR_SERVICE_URL': service.url('/status/500')},
                            online=True) as session:
        page = session.main
        open_about(page)
        plain(page, check_for_updates(page), 'error.server')
        assert service.requests('/status/500/api/versions/latest/'), service.requests()
        assert page.eval('document.getElementById("about-update-status").classList.contains("error")')
        page.screenshot('about-failed-de-de')
        typed = 'Der Scan hat sich aufgehangen'
        plain(page, send_feedback(page, typed), 'about.sendFailed')
        assert page.eval('document.getElementById("about-feedback").value') == typed
        page.screenshot('about-feedback-failed-de-de')


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


if __name__ == '__main__':
    harness.run([offered_version_and_feedback_reach_the_user_and_the_service,
                 usage_events_only_after_the_switch_is_on,
                 failing_service_says_so_in_german,
                 service_down_keeps_the_draft])
