"""The analysis sections in three languages: each state painted from its fixture, checked for
overflowing labels, leaked keys and placeholders, and saved as a screenshot to look at."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

SECTIONS = ('large', 'dup', 'startup', 'programs', 'tools')
STATES = {'large': ('results', 'scanning', 'empty'), 'dup': ('results', 'scanning', 'empty'),
          'startup': ('results',), 'programs': ('results',), 'tools': ('results',)}

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


def english():
    screens_in('en-us')


def german():
    screens_in('de-de')


def japanese():
    screens_in('ja-jp')


if __name__ == '__main__':
    only = sys.argv[1:]
    harness.run([s for s in (english, german, japanese) if not only or s.__name__ in only])
