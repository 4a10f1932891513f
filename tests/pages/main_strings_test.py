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
        patterns = [
            r"""(?:\bS|MainStrings\.t|App\.button|i18n:|navKey:)\s*\(?\s*'([a-z]+(?:\.[A-Za-z_]+)+)'""",
            r"""data-i18n(?:-title)?="([a-z]+(?:\.[A-Za-z_]+)+)\"""",
            r"""sectionFrame\(\w+,\s*'([^']+)',\s*'([^']+)'""",
        ]
        plural = r"""MainStrings\.plural\(\s*'([a-z]+(?:\.[A-Za-z_]+)+)'"""
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
            with open(path, encoding='utf-8') as source:
                text = source.read()
            for pattern in patterns:
                for match in re.finditer(pattern, text):
                    missing += [(os.path.basename(path), k) for k in match.groups() if k not in known]
            for match in re.finditer(plural, text):
                if match.group(1) + '.other' not in known:
                    missing.append((os.path.basename(path), match.group(1) + '.other'))
        self.assertEqual(missing, [])


if __name__ == '__main__':
    sys.exit(0 if unittest.main(exit=False, verbosity=1).result.wasSuccessful() else 1)
