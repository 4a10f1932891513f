"""Drives the real program the way a user does, on a generated profile in a temporary folder.

Every folder the program may read or clean (HOME, the Windows folder variables, the drive map,
the registry store, the named objects) points into one temporary folder that is removed at the
end, so a scenario never touches the user's data and leaves nothing behind. The page is reached
through the engine's remote inspector (the Chrome DevTools protocol).
"""
import contextlib
import glob
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

import websocket

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..', '..'))
BUILD = os.environ.get('PELLANOR_BUILD_DIR', os.path.join(REPO, 'build', 'native'))
PROGRAM = os.path.join(BUILD, 'app', 'Pellanor')
CLI = os.path.join(BUILD, 'app', 'pellanor-cli')
SHOTS = os.environ.get('PELLANOR_E2E_SHOTS', os.path.join(BUILD, 'e2e-shots'))
SCREEN = '1280x800x24'
LANGUAGES = ['de-de', 'en-us', 'es-es', 'fr-fr', 'it-it', 'ja-jp',
             'ko-kr', 'pt-pt', 'ru-ru', 'th-th', 'tr-tr', 'zh-cn']
MIB = 1024 * 1024


def ensure_display():
    """Re-runs the scenario on a virtual display of a known size: the window is clamped to the
    screen, and xvfb-run's default screen is smaller than the window's minimum."""
    if os.environ.get('PELLANOR_E2E_NESTED'):
        return
    env = dict(os.environ, PELLANOR_E2E_NESTED='1')
    command = ['xvfb-run', '-a', '-s', '-screen 0 ' + SCREEN, sys.executable] + sys.argv
    sys.exit(subprocess.call(command, env=env))


def free_port():
    with contextlib.closing(socket.socket()) as probe:
        probe.bind(('127.0.0.1', 0))
        return probe.getsockname()[1]


def write(path, size=0, text=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as out:
        if text is not None:
            out.write(text.encode('utf-8'))
        else:
            out.write(os.urandom(min(size, 4096)))
            if size > 4096:
                out.truncate(size)  # sparse: large on paper, cheap on disk


def png_bytes(width, height, pixel):
    """A PNG of `pixel(x, y)` -> (r, g, b, a), written without an imaging library."""
    import struct
    import zlib

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + \
            struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)
    rows = b''.join(b'\x00' + b''.join(bytes(pixel(x, y)) for x in range(width))
                    for y in range(height))
    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))


def write_programs(registry_dir, programs):
    """Uninstall entries in the machine hive of the registry store, as installers leave them:
    each program a dict of value names (DisplayName, DisplayIcon, ...) to texts, or to whole
    numbers for DWORD values (EstimatedSize)."""
    key = r'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall'
    lines = ['Windows Registry Editor Version 5.00', '']
    for number, values in enumerate(programs):
        lines.append('[%s\\Program%04d]' % (key, number))
        for name, text in values.items():
            if isinstance(text, int):
                lines.append('"%s"=dword:%08x' % (name, text))
            else:
                lines.append('"%s"="%s"' % (name, text.replace('\\', '\\\\').replace('"', '\\"')))
        lines.append('')
    write(os.path.join(registry_dir, 'HKEY_LOCAL_MACHINE.reg'), text='\r\n'.join(lines))


class Profile:
    """A user's folders with known junk, chat data, large files and duplicates, plus sentinels
    that no clean may touch."""

    def __init__(self, root):
        self.root = root
        self.home = os.path.join(root, 'home')
        self.drive_c = os.path.join(root, 'c')
        self.local = os.path.join(self.home, 'AppData', 'Local')
        self.roaming = os.path.join(self.home, 'AppData', 'Roaming')
        self.temp = os.path.join(self.local, 'Temp')
        self.documents = os.path.join(self.home, 'Documents')
        self.data = os.path.join(self.home, 'Data')
        self.trash = os.path.join(self.home, '.local', 'share', 'Trash')
        self.programs = os.path.join(root, 'programs')  # %PROGRAMFILES%
        self.sentinels = []
        self.junk = {}
        self.chat = {}

    def path(self, *parts):
        return os.path.join(self.home, *parts)

    def add_sentinel(self, path, text='keep me'):
        write(path, text=text)
        self.sentinels.append(path)
        return path

    def _junk(self, kind, path, size):
        write(path, size)
        self.junk.setdefault(kind, []).append(path)

    def build(self):
        for folder in (self.documents, self.path('Desktop'), self.path('Downloads'), self.drive_c,
                       self.programs):
            os.makedirs(folder, exist_ok=True)
        self._junk('temp', os.path.join(self.temp, 'setup.log'), 300 * 1024)
        self._junk('temp', os.path.join(self.temp, 'unpack', 'part.bin'), 2 * MIB)
        self.add_sentinel(os.path.join(self.temp, '.hidden-lock'))  # hidden entries stay
        explorer = os.path.join(self.local, 'Microsoft', 'Windows', 'Explorer')
        self._junk('thumbcache', os.path.join(explorer, 'thumbcache_256.db'), 1 * MIB)
        self.add_sentinel(os.path.join(explorer, 'iconcache_32.db'))
        self._junk('chrome', os.path.join(self.local, 'Google', 'Chrome', 'User Data', 'Default',
                                          'Cache', 'Cache_Data', 'data_1'), 3 * MIB)
        self.add_sentinel(os.path.join(self.local, 'Google', 'Chrome', 'User Data', 'Default',
                                       'Bookmarks'))
        self._junk('edge', os.path.join(self.local, 'Microsoft', 'Edge', 'User Data', 'Default',
                                        'Cache', 'data_0'), 1 * MIB)
        profile = os.path.join(self.local, 'Mozilla', 'Firefox', 'Profiles', 'ab12.default-release')
        self._junk('firefox', os.path.join(profile, 'cache2', 'entries', 'E1'), 1 * MIB)
        self.add_sentinel(os.path.join(profile, 'places.sqlite'))
        # Unticked by default: must survive a default clean.
        self._junk('recent', os.path.join(self.roaming, 'Microsoft', 'Windows', 'Recent',
                                          'report.docx.lnk'), 2048)
        self._junk('prefetch', os.path.join(self.drive_c, 'Windows', 'Prefetch', 'APP.EXE-1.pf'),
                   64 * 1024)
        self._junk('recyclebin', os.path.join(self.trash, 'files', 'old-draft.txt'), 4096)
        write(os.path.join(self.trash, 'info', 'old-draft.txt.trashinfo'),
              text='[Trash Info]\nPath=/old-draft.txt\nDeletionDate=2026-01-01T10:00:00\n')
        self.add_sentinel(os.path.join(self.documents, 'thesis.docx'))
        self.add_sentinel(os.path.join(self.root, 'outside.txt'))
        self._chat()
        self._analysis()
        return self

    def _chat(self):
        storage = os.path.join(self.documents, 'WeChat Files', 'wxid_test01', 'FileStorage')
        for kind, folder, size in (('wechat_cache', 'Cache', 2 * MIB),
                                   ('wechat_image', 'Image', 3 * MIB),
                                   ('wechat_video', 'Video', 5 * MIB),
                                   ('wechat_file', 'File', 1 * MIB)):
            path = os.path.join(storage, folder, '2026-01', 'item.bin')
            write(path, size)
            self.chat.setdefault(kind, []).append(path)
        qq = os.path.join(self.documents, 'Tencent Files', '123456789')
        for kind, folder, size in (('qq_cache', 'Cache', 1 * MIB), ('qq_image', 'Image', 2 * MIB),
                                   ('qq_video', 'Video', 1 * MIB), ('qq_file', 'FileRecv', 1 * MIB)):
            path = os.path.join(qq, folder, 'item.bin')
            write(path, size)
            self.chat.setdefault(kind, []).append(path)
        self.add_sentinel(os.path.join(storage, '..', 'config', 'AccInfo.dat'))

    def _analysis(self):
        """Large files and duplicates for the analysis sections."""
        large = os.path.join(self.data, 'large')
        write(os.path.join(large, 'holiday.mp4'), 150 * MIB)
        write(os.path.join(large, 'backup.zip'), 600 * MIB)
        write(os.path.join(large, 'notes.txt'), 10 * 1024)
        dup = os.path.join(self.data, 'dups')
        for name in ('a', 'b', 'c'):
            write(os.path.join(dup, name, 'photo.jpg'), text='same picture bytes ' * 400)
        write(os.path.join(dup, 'a', 'unique.jpg'), text='only once')

    def environment(self, run_dir):
        env = {key: value for key, value in os.environ.items()
               if not key.startswith('PELLANOR_') and not key.startswith('XDG_')}
        env.update({
            'HOME': self.home,
            'USERPROFILE': self.home,
            'XDG_CONFIG_HOME': os.path.join(self.home, '.config'),
            'XDG_DATA_HOME': os.path.join(self.home, '.local', 'share'),
            'XDG_CACHE_HOME': os.path.join(self.home, '.cache'),
            'XDG_RUNTIME_DIR': os.path.join(run_dir, 'runtime'),
            'XDG_DOCUMENTS_DIR': self.documents,
            'XDG_DESKTOP_DIR': self.path('Desktop'),
            'XDG_DOWNLOAD_DIR': self.path('Downloads'),
            'XDG_MUSIC_DIR': self.path('Music'),
            'XDG_PICTURES_DIR': self.path('Pictures'),
            'XDG_VIDEOS_DIR': self.path('Videos'),
            'LOCALAPPDATA': self.local,
            'APPDATA': self.roaming,
            'TEMP': self.temp,
            'PROGRAMFILES': self.programs,
            'TMP': self.temp,
            # Chromium's own scratch files stay out of the TEMP that the junk clean empties.
            'TMPDIR': os.path.join(run_dir, 'tmp'),
            'PELLANOR_DRIVES': 'C=' + self.drive_c,
            'PELLANOR_REGISTRY_DIR': os.path.join(run_dir, 'registry'),
            'PELLANOR_OBJECTS_DIR': os.path.join(run_dir, 'objects'),
            'QTWEBENGINE_CHROMIUM_FLAGS': '--no-sandbox --disable-gpu',
        })
        for key in ('XDG_RUNTIME_DIR', 'TMPDIR', 'PELLANOR_REGISTRY_DIR', 'PELLANOR_OBJECTS_DIR'):
            os.makedirs(env[key], mode=0o700, exist_ok=True)
        return env

    def sizes(self, paths):
        return {p: os.path.exists(p) for p in paths}


def describe_network(folder, online):
    """A routing table and an interface folder as the kernel shows them: eth0, up, with a
    default route when `online`."""
    route = ('eth0\t00000000\t0102000A\t0003\t0\t0\t0\t00000000\t0\t0\t0\n' if online else '') + \
        'eth0\t0002000A\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n'
    write(os.path.join(folder, 'route'), text='Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\t'
          'Metric\tMask\tMTU\tWindow\tIRTT\n' + route)
    eth0 = os.path.join(folder, 'class', 'eth0')
    for name, text in (('flags', '0x1003'), ('type', '1'), ('ifindex', '2'),
                       ('address', '00:1a:2b:3c:4d:5e')):
        write(os.path.join(eth0, name), text=text + '\n')
    return {'PELLANOR_ROUTE_TABLE': os.path.join(folder, 'route'),
            'PELLANOR_NET_CLASS': os.path.join(folder, 'class')}


class Page:
    """One page target of the remote inspector."""

    def __init__(self, ws_url):
        self.ws = websocket.create_connection(ws_url, timeout=60, suppress_origin=True)
        self.next_id = 0

    def send(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({'id': self.next_id, 'method': method, 'params': params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get('id') == self.next_id:
                if 'error' in message:
                    raise RuntimeError(method + ': ' + json.dumps(message['error']))
                return message.get('result', {})

    def eval(self, expression, timeout=30):
        """The value of a page expression (promises awaited); raises on a page exception."""
        result = self.send('Runtime.evaluate', expression=expression, awaitPromise=True,
                           returnByValue=True, timeout=timeout * 1000)
        if 'exceptionDetails' in result:
            details = result['exceptionDetails']
            text = details.get('exception', {}).get('description') or details.get('text')
            raise AssertionError('page error in ' + expression[:80] + ': ' + str(text))
        return result.get('result', {}).get('value')

    def wait(self, expression, timeout=20, what=None):
        deadline = time.monotonic() + timeout
        last = None
        while time.monotonic() < deadline:
            # A page error (a script not loaded yet) is not the awaited state: it is kept for
            # the message and the wait goes on.
            try:
                value = self.eval(expression)
            except AssertionError as error:
                last = str(error)
            else:
                if value:
                    return value
                last = value
            time.sleep(0.1)
        raise AssertionError('timed out waiting for ' + (what or expression) + ' (last: ' +
                             repr(last) + ')')

    # Real key presses through the X server: the inspector's synthetic key events are never
    # acknowledged by this engine's windows, and a user's keys come this way anyway.
    X_KEYS = {'Tab': 'Tab', 'Enter': 'Return', 'Escape': 'Escape', 'ArrowDown': 'Down',
              'ArrowUp': 'Up', 'Home': 'Home', 'End': 'End', 'Delete': 'Delete', 'F5': 'F5',
              ' ': 'space'}
    X_KEYS.update({'F%d' % n: 'F%d' % n for n in range(1, 13)})

    def press(self, key, shift=False, window_title='Pellanor'):
        windows = subprocess.run(['xdotool', 'search', '--onlyvisible', '--name', '^%s$' % window_title],
                                 capture_output=True, text=True).stdout.split()
        if not windows:
            raise AssertionError('no visible window titled ' + window_title)
        subprocess.run(['xdotool', 'windowfocus', '--sync', windows[0]], check=True)
        subprocess.run(['xdotool', 'key', ('shift+' if shift else '') + self.X_KEYS[key]], check=True)
        time.sleep(0.05)

    def leave_and_return(self, window_title='Pellanor'):
        """The window loses the keyboard focus to the desktop and gets it back, as when the user
        comes back from another program's window."""
        windows = subprocess.run(['xdotool', 'search', '--onlyvisible', '--name', '^%s$' % window_title],
                                 capture_output=True, text=True).stdout.split()
        root = subprocess.run(['xdotool', 'search', '--maxdepth', '0', '--name', ''],
                              capture_output=True, text=True).stdout.split()
        if not windows or not root:
            raise AssertionError('no visible window titled ' + window_title)
        subprocess.run(['xdotool', 'windowfocus', '--sync', windows[0]], check=True)
        subprocess.run(['xdotool', 'windowfocus', root[0]], check=True)
        self.wait('!document.hasFocus()', what='the window to lose the focus')
        subprocess.run(['xdotool', 'windowfocus', '--sync', windows[0]], check=True)

    def tab(self, shift=False):
        self.press('Tab', shift=shift)

    def enter(self):
        self.press('Enter')

    def type(self, text):
        """Types `text` with real key presses into the focused element of the main window."""
        windows = subprocess.run(['xdotool', 'search', '--onlyvisible', '--name', '^Pellanor$'],
                                 capture_output=True, text=True).stdout.split()
        if not windows:
            raise AssertionError('no visible window titled Pellanor')
        subprocess.run(['xdotool', 'windowfocus', '--sync', windows[0]], check=True)
        subprocess.run(['xdotool', 'type', '--delay', '20', text], check=True)
        time.sleep(0.1)

    def click(self, selector):
        """A real mouse click in the middle of the first element matching `selector`."""
        box = self.wait('(() => { const e = document.querySelector(%s); if (!e) return null;'
                        ' e.scrollIntoView({block: "nearest"}); const r = e.getBoundingClientRect();'
                        ' return r.width > 0 ? [r.x + r.width / 2, r.y + r.height / 2] : null; })()'
                        % json.dumps(selector), what='clickable ' + selector)
        for kind in ('mousePressed', 'mouseReleased'):
            self.send('Input.dispatchMouseEvent', type=kind, x=box[0], y=box[1], button='left',
                      clickCount=1)

    def click_text(self, selector, text):
        """Clicks the first `selector` element whose text contains `text`."""
        marker = 'e2e-' + str(time.monotonic_ns())
        self.wait('(() => { const e = Array.from(document.querySelectorAll(%s)).find((n) =>'
                  ' n.textContent.includes(%s) && !n.disabled); if (!e) return false;'
                  ' e.setAttribute("data-e2e", %s); return true; })()'
                  % (json.dumps(selector), json.dumps(text), json.dumps(marker)),
                  what=selector + ' with ' + text)
        self.click('[data-e2e="%s"]' % marker)

    def screenshot(self, name):
        os.makedirs(SHOTS, exist_ok=True)
        data = self.send('Page.captureScreenshot', format='png')['data']
        path = os.path.join(SHOTS, name + '.png')
        with open(path, 'wb') as out:
            import base64
            out.write(base64.b64decode(data))
        return path

    def close(self):
        with contextlib.suppress(Exception):
            self.ws.close()


# What every profile starts with: no automatic update check, so no scenario asks the real
# service at start unless it means to.
DEFAULT_SETTINGS = {'autoCheckUpdate': '0'}


def write_settings(registry_dir, settings):
    """The program's settings as the registry store keeps them (the registry editor's format)."""
    def quoted(text):
        return '"' + str(text).replace('\\', '\\\\').replace('"', '\\"') + '"'
    lines = ['Windows Registry Editor Version 5.00', '',
             '[HKEY_CURRENT_USER\\Software\\Pellanor\\Settings]']
    lines += [quoted(name) + '=' + quoted(value) for name, value in settings.items()]
    write(os.path.join(registry_dir, 'HKEY_CURRENT_USER.reg'), text='\r\n'.join(lines) + '\r\n\r\n')


class Session:
    """The program running on a fresh profile; use as a context manager."""

    HOME_READY = ('window.App && App.current() === "home" && '
                  'document.querySelector("#section-home .hero") !== null')

    def __init__(self, language='en-us', settings=None, env=None, online=None, args=None,
                 page='main/main.html', ready=None, prepare=None):
        """`settings`: stored settings the program finds at start, over DEFAULT_SETTINGS.
        `env`: extra variables for the program. `online`: None leaves the machine's own network
        verdict; True or False describes a network (a default route on an interface that is up,
        or none) in the profile, so the program's connectivity answers do not depend on the host.
        `args` go after the LANG= token; `page` is the page attached as `.main`, and `ready` the
        expression it is waited for (Home painted for the main page). `prepare(profile, env)`
        adds to the profile (files, registry entries) before the start; it may change `env`."""
        self.prepare = prepare
        self.language = language
        self.args = args or []
        self.page = page
        self.ready = ready if ready is not None else (self.HOME_READY if page == 'main/main.html'
                                                      else 'document.readyState === "complete"')
        self.processes = []
        self.settings = dict(DEFAULT_SETTINGS, **(settings or {}))
        self.extra_env = env or {}
        self.online = online
        self.root = None
        self.process = None
        self.pages = []

    def __enter__(self):
        if not os.path.exists(PROGRAM):
            raise SystemExit('build the program first: ' + PROGRAM)
        self.root = tempfile.mkdtemp(prefix='pellanor-e2e-')
        self.run_dir = os.path.join(self.root, 'run')
        self.profile = Profile(os.path.join(self.root, 'profile')).build()
        self.env = self.profile.environment(self.run_dir)
        if self.online is not None:
            self.env.update(describe_network(os.path.join(self.run_dir, 'net'), self.online))
        self.env.update(self.extra_env)
        write_settings(self.env['PELLANOR_REGISTRY_DIR'], self.settings)
        if self.prepare:
            self.prepare(self.profile, self.env)
        self.started = time.monotonic()
        self.output = open(os.path.join(self.run_dir, 'program.out'), 'wb')
        try:
            self.main = self.start(PROGRAM, ['LANG=' + self.language] + self.args, self.page,
                                   self.ready)
        except BaseException:
            self.__exit__(*sys.exc_info())
            raise
        return self

    def start(self, program, args, page, ready):
        """Starts `program` on this profile with an inspector port of its own; answers `page`
        once `ready` holds there. It becomes `.process`; every one started is ended at exit."""
        self.port = free_port()
        self.env['QTWEBENGINE_REMOTE_DEBUGGING'] = '127.0.0.1:%d' % self.port
        self.process = subprocess.Popen([program] + args, env=self.env, stdout=self.output,
                                        stderr=subprocess.STDOUT, cwd=self.run_dir,
                                        start_new_session=True)
        self.processes.append(self.process)
        page_object = self.attach(page)
        try:
            page_object.wait(ready, timeout=30, what=page + ' ready')
        except AssertionError as error:
            # What the page was doing, so that a start that never gets ready can be told apart
            # from one that is only slow, or hidden and given no frames.
            with contextlib.suppress(Exception):
                state = page_object.eval('JSON.stringify({visibility: document.visibilityState, '
                                         'readyState: document.readyState, '
                                         'section: window.App ? App.current() : null})')
                error.args = ('%s; page %s; program output:\n%s' %
                              (error, state, self.program_output()[-1500:]),)
            raise
        return page_object

    def targets(self):
        with urllib.request.urlopen('http://127.0.0.1:%d/json' % self.port, timeout=2) as reply:
            return json.loads(reply.read().decode('utf-8'))

    def attach(self, url_part, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise AssertionError('the program ended early:\n' + self.program_output())
            with contextlib.suppress(OSError, ValueError):
                for target in self.targets():
                    if target.get('type') == 'page' and url_part in target.get('url', ''):
                        page = Page(target['webSocketDebuggerUrl'])
                        self.pages.append(page)
                        return page
            time.sleep(0.1)
        raise AssertionError('no page ' + url_part + ':\n' + self.program_output())

    def program_output(self):
        self.output.flush()
        with open(self.output.name, 'rb') as log:
            return log.read().decode('utf-8', 'replace')[-4000:]

    def log_text(self):
        text = ''
        for path in glob.glob(os.path.join(self.root, '**', '*.log'), recursive=True):
            with open(path, 'rb') as log:
                text += log.read().decode('utf-8', 'replace')
        return text

    def __exit__(self, *exc):
        for page in self.pages:
            page.close()
        for process in self.processes:
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
            # The engine's helper processes outlive a killed program; they are in its group.
            with contextlib.suppress(ProcessLookupError, PermissionError):
                os.killpg(process.pid, signal.SIGKILL)
        if self.processes:
            time.sleep(0.2)
            self.output.close()
        if os.environ.get('PELLANOR_E2E_KEEP'):
            print('kept', self.root)
        elif self.root:
            shutil.rmtree(self.root, ignore_errors=True)
        return False


def run(scenarios):
    """Runs each scenario function, reports every failure, and exits non-zero if one failed."""
    ensure_display()
    failed = 0
    for scenario in scenarios:
        begun = time.monotonic()
        try:
            scenario()
            print('PASS %s (%.1f s)' % (scenario.__name__, time.monotonic() - begun), flush=True)
        except Exception as error:  # noqa: BLE001 - every failure is reported the same way
            failed += 1
            print('FAIL %s: %s' % (scenario.__name__, error), flush=True)
    sys.exit(1 if failed else 0)
