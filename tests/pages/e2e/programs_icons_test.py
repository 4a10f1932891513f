"""Programs with their icons, from uninstall entries in the registry store: an image file shows
itself, a broken one and a missing one keep the letter tile; only rows on screen ask for icons,
and a row that scrolls past keeps no other program's icon."""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

FILLERS = 80


def badge(red, green, blue):
    """A 32 px rounded badge with a white bar, so the screenshot shows it is the picture."""
    def pixel(x, y):
        corner = max(abs(x - 15.5) - 11, 0) ** 2 + max(abs(y - 15.5) - 11, 0) ** 2
        if corner > 20:
            return (0, 0, 0, 0)
        if 9 <= y <= 12 and 7 <= x <= 24:
            return (255, 255, 255, 255)
        return (red, green, blue, 255)
    return harness.png_bytes(32, 32, pixel)


def prepare(profile, env):
    programs_dir = os.path.join(profile.drive_c, 'Program Files')

    def place(folder, name, data):
        path = os.path.join(programs_dir, folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'wb') as out:
            out.write(data)
        return r'C:\Program Files\%s\%s' % (folder, name)

    def entry(name, icon=None, publisher='Example Ltd', size=20480):
        values = {'DisplayName': name, 'Publisher': publisher, 'DisplayVersion': '1.0',
                  'InstallDate': '20240301', 'EstimatedSize': size,
                  'UninstallString': r'"C:\Program Files\%s\uninstall.exe" /S' % name}
        if icon:
            values['DisplayIcon'] = icon
        return values

    programs = [
        entry('Aurora Paint', place('Aurora Paint', 'paint.png', badge(0xe0, 0x6c, 0x1a)),
              publisher='Aurora Studio'),
        entry('Broken Viewer', place('Broken Viewer', 'viewer.png', b'not a picture')),
        entry('Missing Icon Player', r'C:\Program Files\Missing\player.png'),
        entry('Blank Tool'),
        # The system's icon for a program file: the program's own on Windows, a generic one
        # (or none) elsewhere.
        entry('Mail Client', '"%s",0' % place('Mail Client', 'mail.exe', b'MZ' + bytes(510)),
              size=153600),
    ]
    for number in range(FILLERS):
        hue = number * 2 * math.pi / FILLERS
        colour = [int(127 + 100 * math.cos(hue + shift)) for shift in (0, 2.1, 4.2)]
        folder = 'Tool %03d' % number
        programs.append(entry(folder, '"%s",0' % place(folder, 'tool.png', badge(*colour))))
    harness.write_programs(env['PELLANOR_REGISTRY_DIR'], programs)


# Per row on screen: the program's name, whether its cell shows a picture, and from which file.
ROWS = r'''(() => {
    const list = App.section('programs').debug.list;
    return Array.from(document.querySelectorAll('#section-programs .vlist-row'))
        .filter((row) => !row.hidden && list.isOnScreen(Number(row.dataset.index)))
        .map((row) => {
            const cell = row.querySelector('.prog-icon');
            const image = cell.querySelector('img');
            return {name: row.querySelector('.row-name').textContent,
                    image: image ? decodeURIComponent(image.src) : null,
                    width: image ? image.naturalWidth : 0,
                    tile: cell.textContent, hasImage: cell.classList.contains('has-image')};
        });
})()'''

# Records every icon the page asks the engine for, with the time of the answer: resource timing
# files no entries for this scheme reliably.
WATCH_ICONS = r'''(() => {
    if (window.iconRequests) return;
    window.iconRequests = [];
    const source = Object.getOwnPropertyDescriptor(HTMLImageElement.prototype, 'src');
    Object.defineProperty(HTMLImageElement.prototype, 'src', {
        configurable: true,
        get() { return source.get.call(this); },
        set(url) {
            if (String(url).includes('$engine/icon')) {
                const request = {path: new URL(url).searchParams.get('path'),
                                 asked: performance.now(), answered: 0};
                const answered = () => { request.answered = performance.now(); };
                this.addEventListener('load', answered);
                this.addEventListener('error', answered);
                iconRequests.push(request);
            }
            source.set.call(this, url);
        },
    });
})()'''

# The files whose icons the page has asked the engine for, in order.
ICON_REQUESTS = 'iconRequests.map((r) => r.path)'

SETTLED = '''new Promise((r) => setTimeout(() => requestAnimationFrame(() => r(true)), 400))'''


def check_rows(rows):
    assert rows, 'no rows on screen'
    for row in rows:
        if row['image'] is None:
            assert len(row['tile']) == 1 and not row['hasImage'], row
            continue
        assert row['width'] > 0 and row['tile'] == '' and row['hasImage'], row
        folder = row['name']
        assert ('\\' + folder + '\\') in row['image'], 'another row\'s icon: %r' % row


def icons_in(language):
    with harness.Session(language, prepare=prepare) as session:
        page = session.main
        page.eval(WATCH_ICONS)
        page.click('#nav-programs')
        page.wait('App.section("programs").debug.state.view.length === %d' % (FILLERS + 5),
                  what='the programs listed')
        page.wait('''(() => { const img = document.querySelector('#section-programs .prog-icon img');
                     return img !== null && img.naturalWidth > 0; })()''', what='an icon painted')
        page.eval(SETTLED)
        rows = page.eval(ROWS)
        by_name = {row['name']: row for row in rows}
        assert by_name['Aurora Paint']['image'], by_name['Aurora Paint']
        for name in ('Broken Viewer', 'Missing Icon Player', 'Blank Tool'):
            assert by_name[name]['image'] is None and by_name[name]['tile'] == name[0], \
                by_name[name]
        check_rows(rows)
        asked = page.eval(ICON_REQUESTS)
        # Missing Icon Player and Blank Tool have no icon file, so they never ask.
        assert 0 < len(asked) <= len(rows) - 2, 'rows off screen asked: %r' % asked
        page.screenshot('main-programs-icons-%s' % language)

        # Down the list a row at a time and back to the top in one jump: every painted icon
        # belongs to its row, and rows that only flew past asked for nothing.
        page.eval('''(async () => {
            const scroller = App.section('programs').debug.list.scroller;
            for (let i = 1; i <= 30; ++i) {
                scroller.scrollTop = i * 44;
                await new Promise((r) => requestAnimationFrame(r));
            }
        })()''')
        page.eval(SETTLED)
        check_rows(page.eval(ROWS))
        page.eval('''(async () => {
            const scroller = App.section('programs').debug.list.scroller;
            scroller.scrollTop = scroller.scrollHeight;
            await new Promise((r) => requestAnimationFrame(r));
            scroller.scrollTop = 0;
        })()''')
        page.eval(SETTLED)
        check_rows(page.eval(ROWS))
        bottom = ['Tool %03d' % n for n in range(FILLERS - 8, FILLERS)]
        flown_past = [path for path in page.eval(ICON_REQUESTS)
                      if any(name in path for name in bottom)]
        assert not flown_past, 'rows that only flew past asked: %r' % flown_past


def english():
    icons_in('en-us')


if __name__ == '__main__':
    harness.run([english])
