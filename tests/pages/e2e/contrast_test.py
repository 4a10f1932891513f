"""Colour contrast as painted: every section of the main window in its results, empty and error
states, the tray menu and the folder picker, in English and in Japanese (other fonts, other
line breaks). Each visible text is measured against the colour really behind it (ancestors
composited, the worst stop of a gradient), large text against 3:1, field outlines, switches and
focus rings against 3:1; disabled controls are exempt."""
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(HERE, 'contrast.js'), encoding='utf-8') as source:
    AUDIT = source.read()

STATES = ('results', 'empty', 'error')
FRAMES = 'new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)))'

# The checker itself, on colours whose ratios are known: a checker that always answers 21
# would pass every page.
KNOWN = [
    ('rgb(118, 118, 118)', 'rgb(255, 255, 255)', 4.54),   # the lightest grey that passes on white
    ('rgb(0, 0, 0)', 'rgb(255, 255, 255)', 21.0),
    ('rgb(19, 111, 143)', 'rgb(255, 255, 255)', 5.68),    # --brand-700
    ('rgb(154, 168, 178)', 'rgb(255, 255, 255)', 2.44),   # --text-disabled
    ('rgb(31, 157, 134)', 'rgb(255, 255, 255)', 3.37),    # --brand-600
    ('rgba(0, 0, 0, 0.5)', 'rgb(255, 255, 255)', 3.95),   # half-transparent black composites to #808080
]


# Painted cases with a known verdict: each id that must fail, and none of the others.
PROBES = [
    ('<p id="p-grey" style="color:#9aa8b2">grey text</p>', True),
    ('<p id="p-ok" style="color:#767676">just enough</p>', False),
    ('<p id="p-large" style="color:#949494;font-size:26px">large text</p>', False),
    ('<p id="p-semibold" style="color:#949494;font-size:18px;font-weight:600">not large</p>', True),
    ('<div style="background:rgba(0,0,0,0.5)"><p id="p-veiled" style="color:#fff">veiled</p></div>', True),
    ('<div style="background:linear-gradient(#fff,#777)"><p id="p-ramp" style="color:#fff">ramp</p></div>', True),
    ('<button id="p-disabled" disabled style="color:#9aa8b2">disabled</button>', False),
    ('<button id="p-noring" style="outline:none;color:#136f8f">no ring</button>', True),
    ('<input id="p-faint" class="field" style="border-color:#d5e2e8" value="x">', True),
]


def checker_is_sound(page):
    page.eval(AUDIT)
    for fg, bg, expected in KNOWN:
        composite = page.eval('ContrastAudit.composite(%s, %s)' % (json.dumps(fg), json.dumps(bg)))
        measured = page.eval('ContrastAudit.ratio(%s, %s)' % (json.dumps('rgb(' + ', '.join(
            str(int(composite[i:i + 2], 16)) for i in (1, 3, 5)) + ')'), json.dumps(bg)))
        assert abs(measured - expected) < 0.02, '%s on %s: %.2f, not %.2f' % (fg, bg, measured, expected)
    html = ''.join(markup for markup, _ in PROBES)
    page.eval('(() => { const d = document.createElement("div"); d.id = "contrast-probe";'
              ' d.style.cssText = "position:fixed;left:0;top:0;z-index:99;background:#fff;padding:4px";'
              ' d.innerHTML = %s; document.body.appendChild(d); })()' % json.dumps(html))
    try:
        result = audit(page, '#contrast-probe')
    finally:
        page.eval('document.getElementById("contrast-probe").remove()')
    failed = {f['what'].split('#')[1].split('.')[0] for f in result['failures'] if '#p-' in f['what']}
    expected = {markup.split('id="')[1].split('"')[0] for markup, fails in PROBES if fails}
    assert failed == expected, 'the checker judged wrongly: failed %s, expected %s' % (
        sorted(failed), sorted(expected))


def audit(page, root_selector):
    """The page's audit, and each focus ring with the focus state forced on its control."""
    result = page.eval('ContrastAudit.audit(%s)' % json.dumps(root_selector), timeout=60)
    page.send('DOM.enable')
    page.send('CSS.enable')
    document = page.send('DOM.getDocument', depth=0)['root']['nodeId']
    nodes = page.send('DOM.querySelectorAll', nodeId=document, selector='[data-ring-audit]')['nodeIds']
    assert len(nodes) == result['rings'], 'marked %d controls, found %d' % (result['rings'], len(nodes))
    for node in nodes:
        page.send('CSS.forcePseudoState', nodeId=node, forcedPseudoClasses=['focus', 'focus-visible'])
        index = page.send('DOM.getAttributes', nodeId=node)['attributes']
        index = index[index.index('data-ring-audit') + 1]
        ring = page.eval('ContrastAudit.ring(%s)' % index)
        page.send('CSS.forcePseudoState', nodeId=node, forcedPseudoClasses=[])
        result['checked'] += 1 if ring['checked'] else 0
        if ring.get('failure'):
            result['failures'].append(ring['failure'])
    return result


def report(where, result, problems, notes):
    for failure in result['failures']:
        problems.append('%s: %s %s "%s" %s on %s = %.2f (needs %s)' % (
            where, failure['kind'], failure['what'], failure['text'], failure['fg'], failure['bg'],
            failure['ratio'], failure['need']))
    notes.extend(where + ': ' + note for note in result['notes'])


def main_window(language, problems, notes):
    with harness.Session(language) as session:
        page = session.main
        checker_is_sound(page)
        checked = 0
        for section in page.eval('PellanorUI.sections()'):
            for state in STATES:
                page.eval('Promise.resolve(PellanorUI.show(%r, %r)).then(() => null)' % (section, state))
                page.eval(FRAMES)
                result = audit(page, '#section-' + section)
                checked += result['checked']
                report('%s %s %s' % (section, state, language), result, problems, notes)
        print('main window %s: %d texts, outlines and rings checked' % (language, checked))
        assert checked > 500, 'only %d checks: the audit found too little to look at' % checked


def tray_menu(language, problems, notes):
    with harness.Session(language) as session:
        tray = session.attach('main/tray.html')
        tray.wait('document.querySelector(".tray-item svg") !== null', what='tray menu built')
        tray.eval('HostWindow.show()')
        tray.eval(AUDIT)
        result = audit(tray, None)
        assert result['checked'] >= 7, result
        report('tray ' + language, result, problems, notes)


def folder_picker(language, problems, notes):
    with harness.Session(language) as session:
        session.main.eval('FolderPicker.open(); null')
        picker = session.attach('app/pick.html')
        picker.wait('document.querySelectorAll("#places .button").length >= 5', what='places')
        # A chosen folder, and the note a path that lost its characters gets.
        picker.eval('document.getElementById("path").value = %s' % json.dumps(session.profile.documents))
        picker.click('#add')
        picker.eval('document.getElementById("path").value = "C:\\\\Users\\\\Ana\\\\??"')
        picker.click('#add')
        picker.wait('document.getElementById("path-note").textContent !== ""', what='path note')
        picker.eval(AUDIT)
        result = audit(picker, None)
        assert result['checked'] >= 12, result
        report('picker ' + language, result, problems, notes)


def audit_in(language):
    problems = []
    notes = []
    for walk in (main_window, tray_menu, folder_picker):
        walk(language, problems, notes)
    for note in sorted(set(notes)):
        print('note:', note)
    assert not problems, '%d contrast failures:\n  ' % len(problems) + '\n  '.join(problems)


def english():
    audit_in('en-us')


def japanese():
    audit_in('ja-jp')


if __name__ == '__main__':
    only = sys.argv[1:]
    harness.run([s for s in (english, japanese) if not only or s.__name__ in only])
