"""The main page's language tables: each of the twelve has exactly the English keys with the
same placeholders, none is left in English, and every key the page scripts name exists.

Run by ctest as pages_main_strings; no program or display needed.
"""
import glob
import json
import os
import re
import sys
import unittest

PAGES = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'pages')
LANGS = os.path.join(PAGES, 'main', 'langs')
CODES = ['de-de', 'en-us', 'es-es', 'fr-fr', 'it-it', 'ja-jp',
         'ko-kr', 'pt-pt', 'ru-ru', 'th-th', 'tr-tr', 'zh-cn']
PLURAL_EXTRAS = ('.zero', '.two', '.few', '.many')
# Words that really are the same in some languages: product names, loan words.
SAME_AS_ENGLISH_ALLOWED = {
    'chat.app.wechat', 'chat.app.qq', 'chat.wechat_cache.name', 'chat.qq_cache.name',
    'pick.desktop', 'pick.documents', 'pick.downloads', 'pick.videos', 'about.version', 'nav.home',
    'home.title', 'progress.items.one', 'nav.label',
    'dup.normal', 'dup.col.file', 'large.kind.video', 'large.col.name', 'large.type',
    'large.kind.archive', 'large.kind.document', 'large.col.size', 'dup.col.size', 'programs.sort.name',
    'tools.hib.size',  # a file name and a size
    'large.files.one', 'large.found.one', 'dup.files.one',  # Italian "file" is invariable
    'history.version',
    # keycap captions, printed in English on many keyboards
    'hotkey.cap.ctrl', 'hotkey.cap.shift', 'hotkey.cap.delete', 'hotkey.cap.insert', 'hotkey.cap.esc',
    'install.step.options',  # "Options" in French too
}
# Keys built at run time from a native type id; the scripts never spell them out.
TYPE_KEYS = ['junk.%s.%s' % (t, part) for t in ('thumbcache', 'recent', 'temp', 'prefetch',
             'recyclebin', 'hibernate', 'chrome', 'edge', 'firefox') for part in ('name', 'desc')]
TYPE_KEYS += ['chat.%s_%s.%s' % (app, kind, part) for app in ('wechat', 'qq')
              for kind in ('cache', 'image', 'video', 'file') for part in ('name', 'desc')]
PLACEHOLDER = re.compile(r'\{\d+\}')
TABLE = re.compile(r"^\s*MainStrings\.add\('([a-z]{2}-[a-z]{2})',\s*(\{.*\})\);\s*$", re.S)


def load(path):
    with open(path, encoding='utf-8') as source:
        match = TABLE.match(source.read())
    if not match:
        raise AssertionError(path + ' is not one MainStrings.add call with a JSON object')
    return match.group(1), json.loads(match.group(2))


KEY_PATTERNS = [
    r"""(?:\bS|MainStrings\.t|App\.button|i18n:|navKey:|titleKey:)\s*\(?\s*'([a-z]+(?:\.[A-Za-z_]+)+)'""",
    r"""data-i18n(?:-title)?="([a-z]+(?:\.[A-Za-z_]+)+)\"""",
    r"""sectionFrame\(\w+,\s*'([^']+)',\s*'([^']+)'""",
    r"""Setup\.start\(\s*'([a-z]+(?:\.[A-Za-z_]+)+)'""",
]
PLURAL_PATTERN = r"""MainStrings\.plural\(\s*'([a-z]+(?:\.[A-Za-z_]+)+)'"""
# What page_kit.js loads before a page's tables, under pages/ as the source tree has them.
KIT_SHARED = ['main/js/format.js', 'main/js/icons.js', 'main/js/strings.js',
              'main/js/components/page_windows.js', 'main/js/components/page_chrome.js']
KIT = re.compile(r'<script src="[^"]*page_kit\.js"\s+data-texts="([^"]*)"\s+data-scripts="([^"]*)"')


def named_keys(path):
    """The text keys a page or script names (a plural by its .other form)."""
    with open(path, encoding='utf-8') as source:
        text = source.read()
    keys = [k for pattern in KEY_PATTERNS for m in re.finditer(pattern, text) for k in m.groups()]
    return keys + [m.group(1) + '.other' for m in re.finditer(PLURAL_PATTERN, text)]


def page_loads(page, html=None):
    """(text groups, own script paths) of a page: from its page_kit.js element, or from a
    static list of scripts. Shared packed scripts are left out; they name no main-page keys."""
    if html is None:
        with open(page, encoding='utf-8') as source:
            html = source.read()
    folder = os.path.dirname(page)
    kit = KIT.search(html)
    if kit:
        scripts = [os.path.join(PAGES, p) for p in KIT_SHARED]
        scripts += [os.path.normpath(os.path.join(folder, p)) for p in kit.group(2).split()]
        return kit.group(1).split(), scripts
    groups, scripts = [], []
    for src in re.findall(r'<script src="([^"]+)"', html):
        table = re.match(r'(?:\.\./main/)?langs/([a-z]+)/[a-z]{2}-[a-z]{2}\.js$', src)
        if table:
            if table.group(1) not in groups:
                groups.append(table.group(1))
        elif '/common/' not in src:
            scripts.append(os.path.normpath(os.path.join(folder, src)))
    return groups, scripts


def packed_english():
    with open(os.path.join(PAGES, 'packed', 'common', 'js', 'defaultlangs.js'), encoding='utf-8') as f:
        text = f.read()
    return set(re.findall(r'"([a-zA-Z]+(?:\.[A-Za-z_]+)+)"\s*:', text))


class MainStringTables(unittest.TestCase):
    def groups(self):
        return [g for g in sorted(os.listdir(LANGS)) if os.path.isdir(os.path.join(LANGS, g))]

    def test_every_group_has_twelve_tables_named_for_their_language(self):
        for group in self.groups():
            with self.subTest(group=group):
                files = sorted(os.path.basename(p)[:-3] for p in glob.glob(os.path.join(LANGS, group, '*.js')))
                self.assertEqual(files, CODES)
                for code in CODES:
                    self.assertEqual(load(os.path.join(LANGS, group, code + '.js'))[0], code)

    def test_every_table_has_the_english_keys_and_placeholders(self):
        for group in self.groups():
            english = load(os.path.join(LANGS, group, 'en-us.js'))[1]
            for code in CODES:
                table = load(os.path.join(LANGS, group, code + '.js'))[1]
                with self.subTest(group=group, code=code):
                    self.assertEqual(sorted(set(english) - set(table)), [], 'missing keys')
                    extra = [k for k in set(table) - set(english)
                             if not (k.endswith(PLURAL_EXTRAS) and k.rsplit('.', 1)[0] + '.other' in english)]
                    self.assertEqual(sorted(extra), [], 'keys English does not have')
                    for key, text in table.items():
                        model = english.get(key) or english[key.rsplit('.', 1)[0] + '.other']
                        self.assertEqual(sorted(PLACEHOLDER.findall(text)), sorted(PLACEHOLDER.findall(model)),
                                         code + ' ' + key)
                        self.assertTrue(text.strip(), code + ' ' + key + ' is empty')

    def test_no_table_is_left_in_english(self):
        for group in self.groups():
            english = load(os.path.join(LANGS, group, 'en-us.js'))[1]
            for code in CODES:
                if code == 'en-us':
                    continue
                table = load(os.path.join(LANGS, group, code + '.js'))[1]
                with self.subTest(group=group, code=code):
                    same = [k for k, v in table.items()
                            if v == english.get(k) and k not in SAME_AS_ENGLISH_ALLOWED
                            and re.sub(r'\{\d+\}|[\W\d_]', '', v) != '']
                    self.assertEqual(same, [], 'still English')

    def test_every_key_the_scripts_name_exists(self):
        known = packed_english() | set(TYPE_KEYS)
        for path in glob.glob(os.path.join(LANGS, '*', 'en-us.js')):
            known |= set(load(path)[1])
        sources = glob.glob(os.path.join(PAGES, 'main', '**', '*.js'), recursive=True)
        sources += glob.glob(os.path.join(PAGES, 'main', '*.html'))
        sources += glob.glob(os.path.join(PAGES, 'app', '**', '*.*'), recursive=True)
        sources += glob.glob(os.path.join(PAGES, 'upgrader', '**', '*.*'), recursive=True)
        sources += glob.glob(os.path.join(PAGES, 'history', '**', '*.*'), recursive=True)
        for page in ('installer', 'unstaller'):
            sources += glob.glob(os.path.join(PAGES, page, '**', '*.*'), recursive=True)
        missing = []
        for path in sources:
            # Pictures beside the pages hold no keys.
            if os.sep + 'langs' + os.sep in path or path.endswith(('.png', '.ico')):
                continue
            missing += [(os.path.basename(path), k) for k in named_keys(path) if k not in known]
        self.assertEqual(missing, [])

    def test_every_page_loads_the_tables_of_the_keys_it_names(self):
        # A key whose group the page does not load shows as the bare key in every language.
        packed = packed_english() | set(TYPE_KEYS)
        pages = [p for p in glob.glob(os.path.join(PAGES, '*', '*.html'))
                 if os.sep + 'packed' + os.sep not in p]
        self.assertGreaterEqual(len(pages), 8)
        for page in pages:
            groups, scripts = page_loads(page)
            with self.subTest(page=os.path.relpath(page, PAGES)):
                self.assertTrue(groups, 'loads no text group')
                for group in groups:
                    self.assertTrue(os.path.isdir(os.path.join(LANGS, group)), 'no text group ' + group)
                known = set(packed)
                for group in groups:
                    known |= set(load(os.path.join(LANGS, group, 'en-us.js'))[1])
                for script in scripts:
                    self.assertTrue(os.path.isfile(script), 'no script ' + script)
                missing = sorted({k for path in [page] + scripts for k in named_keys(path) if k not in known})
                self.assertEqual(missing, [], 'named but not loaded')

    def test_page_loads_reads_both_ways_of_listing_scripts(self):
        # The reader above is only as good as its parsing; pin it on both forms a page may use.
        cases = [
            ('app', '<script src="../main/js/page_kit.js" data-texts="shell analysis"\n'
                    '        data-scripts="../main/js/hotkeys.js js/hotkey.js"></script>',
             ['shell', 'analysis'], KIT_SHARED + ['main/js/hotkeys.js', 'app/js/hotkey.js']),
            ('main', '<script src="js/page_kit.js" data-texts="shell" data-scripts="js/tray.js"></script>',
             ['shell'], KIT_SHARED + ['main/js/tray.js']),
            ('main', '<script src="../common/js/global.js"></script><script src="js/app.js"></script>'
                     '<script src="langs/shell/de-de.js"></script><script src="langs/analysis/de-de.js"></script>',
             ['shell', 'analysis'], ['main/js/app.js']),
        ]
        for folder, html, groups, scripts in cases:
            with self.subTest(html=html):
                got_groups, got_scripts = page_loads(os.path.join(PAGES, folder, 'x.html'), html)
                self.assertEqual(got_groups, groups)
                self.assertEqual([os.path.relpath(p, PAGES) for p in got_scripts], scripts)


if __name__ == '__main__':
    sys.exit(0 if unittest.main(exit=False, verbosity=1).result.wasSuccessful() else 1)
