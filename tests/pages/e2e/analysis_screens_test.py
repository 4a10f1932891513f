"""The analysis sections in three languages: each state painted from its fixture, checked for
overflowing labels, leaked keys and placeholders, and saved as a screenshot to look at."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

SECTIONS = ('large', 'dup', 'startup', 'programs', 'tools')
STATES = {'large': ('results', 'scanning', 'empty'), 'dup': ('results', 'scanning', 'empty'),
          'startup': ('results',), 'programs': ('results',),
          'tools': ('results', 'scanning', 'empty', 'error')}
ALL_STATES = ('empty', 'scanning', 'results', 'error')

# Data may be cut, labels never: every text the layout cuts (by its own box or a clipping
# ancestor such as a table row wider than its list) must end in an ellipsis on that same box and
# keep its whole text in a title. Answers one line per fault.
DATA_CUT = r'''(() => {
    const root = document.getElementById('content');
    const bad = [];
    for (const e of root.querySelectorAll('*')) {
        if (e.offsetParent === null || (e.children.length > 0 && e.tagName !== 'BUTTON')) continue;
        const row = e.closest('.vlist-row');
        if ((row && row.hidden) || e.textContent.trim() === '') continue;
        let clipper = e.scrollWidth > e.clientWidth + 1 ? e : null;
        for (let a = e.parentElement; !clipper && a && a !== root; a = a.parentElement) {
            if (a.scrollWidth > a.clientWidth + 1 && getComputedStyle(a).overflowX !== 'visible') clipper = a;
        }
        if (!clipper) continue;
        let tip = '';
        for (let a = e; a && !tip; a = a.parentElement) tip = a.title || '';
        const text = e.textContent.trim();
        // A flex or grid box keeps text-overflow in its style but never draws the ellipsis.
        const style = getComputedStyle(e);
        if (clipper !== e || style.textOverflow !== 'ellipsis' || /flex|grid/.test(style.display)) {
            bad.push('cut without ellipsis: ' + text.slice(0, 40) + ' (' + clipper.className + ')');
        } else if (!tip.includes(text.split('\u2026')[0])) {
            bad.push('cut without the whole text in a title: ' + text.slice(0, 40));
        }
    }
    return bad;
})()'''

# Texts left in French after a switch to English: units (Ko, Mo, Go), decimal commas before a
# unit, French months and words of the progress lines.
FRENCH_LEFT = r'''(() => {
    const french = /\d\u00a0(o|Ko|Mo|Go|To)\b|\b(janv|févr|avr|juil|déc)\.|\d,\d\u00a0|fichiers|dossiers?\b|libérés/;
    const root = document.getElementById('content');
    const found = [];
    const walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT);
    for (let n = walker.nextNode(); n; n = walker.nextNode()) {
        if (n.parentElement.offsetParent !== null && french.test(n.textContent)) found.push(n.textContent.trim());
    }
    for (const e of root.querySelectorAll('[title], [aria-label], option')) {
        const row = e.closest('.vlist-row');
        if (row && row.hidden) continue;
        for (const v of [e.title, e.getAttribute('aria-label'), e.tagName === 'OPTION' ? e.textContent : '']) {
            if (v && french.test(v)) found.push(v);
        }
    }
    return Array.from(new Set(found));
})()'''

SETTLE = 'new Promise((r) => setTimeout(() => requestAnimationFrame(() => requestAnimationFrame(r)), 100))'

# Labels that must never be cut: texts of the page (data may be truncated, labels wrap).
OVERFLOW = r'''(() => {
    const root = document.querySelector('#section-' + SECTION);
    const bad = [];
    for (const element of root.querySelectorAll('[data-i18n], button, label, .chip-mode, h1, h2')) {
        if (element.offsetParent === null || element.closest('.vlist-row')) continue;
        if (element.scrollWidth > element.clientWidth + 1 || element.scrollHeight > element.clientHeight + 1) {
            bad.push(element.tagName + ':' + element.textContent.slice(0, 40));
        }
    }
    const text = root.innerText;
    if (/\{\d\}/.test(text)) bad.push('placeholder left');
    for (const line of text.split('\n')) {
        if (/^(an|large|dup|startup|programs|tools|folders|nav)\.[A-Za-z.]+$/.test(line.trim())) {
            bad.push('key ' + line.trim());
        }
    }
    if (document.documentElement.scrollWidth > innerWidth) bad.push('page scrolls sideways');
    return bad;
})()'''


def screens_in(language):
    with harness.Session(language) as session:
        page = session.main
        for section in SECTIONS:
            for state in STATES[section]:
                page.eval('PellanorUI.show(%r, %r)' % (section, state))
                page.eval('new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)))')
                problems = page.eval(OVERFLOW.replace('SECTION', repr(section)))
                page.screenshot('main-%s-%s-%s' % (section, state, language))
                assert not problems, '%s %s %s: %s' % (section, state, language, problems)


def data_is_cut_with_an_ellipsis_at_the_smallest_window():
    with harness.Session('ja-jp') as session:
        page = session.main
        page.eval('HostWindow.move(0, 0, 800, 560)')
        page.wait('innerWidth <= 800')
        # The check must see a name cut without an ellipsis (a flex box drops it), or a pass
        # would mean nothing.
        page.eval('PellanorUI.show("programs", "results")')
        cell = 'document.querySelector("#section-programs .vlist-row .row-name")'
        page.eval('Object.assign(%s, {textContent: "Playe" + "r".repeat(80)}).style.display = "flex"' % cell)
        assert any('without ellipsis' in p for p in page.eval(DATA_CUT)), 'the check misses a bare cut'
        page.eval('%s.style.display = ""' % cell)
        # Duplicate paths are cut in the middle to their column, not at its end by the layout:
        # the drive and the name stay in sight, and the whole path is in the title.
        page.eval('PellanorUI.show("dup", "results")')
        page.eval(SETTLE)
        paths = page.eval('Array.from(document.querySelectorAll("#section-dup .vlist-row.dup-file:not([hidden])"))'
                          '.map((r) => ({text: r.children[2].textContent, title: r.children[2].title,'
                          ' cut: r.children[2].scrollWidth > r.children[2].clientWidth + 1}))')
        assert any('\u2026' in p['text'] for p in paths), paths
        for path in paths:
            whole = path['title'].split(' \u2014 ')[0]
            assert not path['cut'] and path['text'].endswith(whole.split('/')[-1]), path
            head, _, tail = path['text'].partition('\u2026')
            assert whole.startswith(head) and whole.endswith(tail), path
        problems = {}
        for language in ('ja-jp', 'de-de', 'ru-ru', 'th-th'):
            page.eval('App.setLanguage(%r)' % language)
            page.wait('document.documentElement.lang === %r' % language)
            for section in ('junk', 'chat') + SECTIONS:
                for state in ALL_STATES:
                    page.eval('PellanorUI.show(%r, %r)' % (section, state))
                    page.eval(SETTLE)
                    found = page.eval(DATA_CUT)
                    if language == 'th-th':
                        # Thai tone marks need the size: no visible text under 12 px.
                        found += page.eval('Array.from(document.querySelectorAll("#content *"))'
                                           '.filter((e) => e.offsetParent !== null && e.childNodes.length &&'
                                           ' Array.from(e.childNodes).some((n) => n.nodeType === 3 && n.textContent.trim()) &&'
                                           ' parseFloat(getComputedStyle(e).fontSize) < 12)'
                                           '.map((e) => "under 12 px: " + e.textContent.trim().slice(0, 30))')
                    if found:
                        problems['%s %s %s' % (language, section, state)] = found
        assert not problems, problems


def sizes_follow_a_live_language_switch():
    with harness.Session('fr-fr') as session:
        page = session.main
        page.eval('document.getElementById("content").prepend(Object.assign(document.createElement("p"), '
                  '{id: "probe", textContent: "Taille : 1,5\u00a0Mo"}))')
        assert page.eval(FRENCH_LEFT), 'the check misses a French size'
        page.eval('document.getElementById("probe").remove()')
        problems = {}
        for section in ('home', 'junk', 'chat') + SECTIONS:
            for state in ALL_STATES:
                page.eval('App.setLanguage("fr-fr")')
                page.wait('document.documentElement.lang === "fr-fr"')
                page.eval('PellanorUI.show(%r, %r)' % (section, state))
                page.eval(SETTLE)
                page.eval('App.setLanguage("en-us")')
                page.wait('document.documentElement.lang === "en-us"')
                page.eval(SETTLE)
                left = page.eval(FRENCH_LEFT)
                if left:
                    problems[section + ' ' + state] = left
        assert not problems, problems


def english():
    screens_in('en-us')


def german():
    screens_in('de-de')


def japanese():
    screens_in('ja-jp')


if __name__ == '__main__':
    only = sys.argv[1:]
    harness.run([s for s in (english, german, japanese,
                             data_is_cut_with_an_ellipsis_at_the_smallest_window,
                             sizes_follow_a_live_language_switch)
                 if not only or s.__name__ in only])
