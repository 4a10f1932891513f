"""The main page's own sections as a user meets them: scan and clean junk, scan and clean a chat
app, and every language fitting its boxes. Each clean is checked on the disk afterwards: what
was ticked is gone, everything else (unticked categories, sentinels) is still there."""
import json
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

DEFAULT_TICKS = {'temp', 'thumbcache', 'chrome', 'edge', 'firefox'}

# Every labelled box whose text would be clipped, page-level horizontal scrolling, texts that
# look like untranslated keys or placeholders, and Han characters outside zh/ja/ko.
OVERFLOW_CHECK = r'''(() => {
    const problems = [];
    const lang = document.documentElement.lang;
    const selector = '[data-i18n], button, th, .nav-label, .tab, label, .tag, .row-name, .tile-name';
    for (const e of document.querySelectorAll(selector)) {
        if (e.offsetParent === null) continue;
        const style = getComputedStyle(e);
        const clips = style.overflow !== 'visible' || style.textOverflow === 'ellipsis';
        if (e.scrollWidth > e.clientWidth + 1 && (clips || e.tagName === 'BUTTON'))
            problems.push('overflows: ' + e.textContent.trim().slice(0, 60));
        if (e.scrollHeight > e.clientHeight + 1 && clips && e.clientHeight > 0)
            problems.push('clipped: ' + e.textContent.trim().slice(0, 60));
    }
    if (document.documentElement.scrollWidth > innerWidth) problems.push('page scrolls sideways');
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    for (let n = walker.nextNode(); n; n = walker.nextNode()) {
        const text = n.textContent.trim();
        if (!text || !n.parentElement || n.parentElement.offsetParent === null) continue;
        if (n.parentElement.closest('.row-path, .code, dd, .row-details')) continue;
        if (/^[a-z]+(\.[A-Za-z_]+)+$/.test(text)) problems.push('key shown: ' + text);
        if (/\{\d\}/.test(text)) problems.push('placeholder shown: ' + text);
        if (!/^(zh|ja|ko)/.test(lang) && /[\u4e00-\u9fff]/.test(text)) problems.push('Han text: ' + text);
    }
    return problems;
})()'''


def open_section(page, section):
    page.click('#nav-' + section)
    page.wait('App.current() === %r' % section)


def ticked(page, section):
    return set(page.eval('Array.from(document.querySelectorAll("#section-%s input[type=checkbox]:checked"))'
                         '.map((b) => b.dataset.type)' % section))


def confirm_dialog(page):
    page.wait('document.querySelector(".dialog-backdrop [data-answer=go]") !== null', what='confirm dialog')
    return page.eval('({focused: document.activeElement.dataset.answer,'
                     ' title: document.querySelector(".dialog-title").textContent,'
                     ' items: Array.from(document.querySelectorAll(".dialog-list .label")).map((e) => e.textContent),'
                     ' note: (document.querySelector(".dialog-note") || {}).textContent || ""})')


def existing(paths):
    return [p for p in paths if os.path.exists(p)]


def junk_clean_removes_only_what_was_ticked():
    with harness.Session('en-us') as session:
        page, profile = session.main, session.profile
        open_section(page, 'junk')
        page.click('#section-junk .section-tools .button')
        page.wait('document.querySelectorAll("#section-junk .row").length === 9', what='nine rows')
        assert ticked(page, 'junk') == DEFAULT_TICKS, ticked(page, 'junk')
        assert page.eval('document.querySelector("#section-junk input[data-type=hibernate]").disabled'), \
            'a category of 0 bytes must not be tickable'
        page.screenshot('main-junk-results-live-en-us')
        page.click('#section-junk input[data-type=edge]')  # untick
        page.click('#section-junk .action-bar .button.primary')
        dialog = confirm_dialog(page)
        assert dialog['focused'] == 'cancel', 'Cancel must have the focus'
        listed = {label.split(' \u2014 ')[0] for label in dialog['items']}
        assert listed == {'Temporary files', 'Thumbnail cache', 'Chrome cache', 'Firefox cache'}, listed
        assert 'Recycle Bin' in dialog['note'] and 'Permanently' in dialog['note'], dialog['note']
        page.screenshot('main-junk-confirm-en-us')
        page.click('.dialog-backdrop [data-answer=go]')
        page.wait('document.querySelector("#section-junk .result") !== null', timeout=60, what='result summary')
        summary = page.eval('document.querySelector("#section-junk .result").innerText')
        assert summary.startswith('Freed '), summary
        page.screenshot('main-junk-done-en-us')
        # The summary stays on screen across a language switch, and follows it.
        page.eval('App.setLanguage("fr-fr")')
        page.wait('document.documentElement.lang === "fr-fr"')
        french = page.eval('document.querySelector("#section-junk .result").innerText')
        assert 'libérés' in french and 'Freed' not in french and 'MB' not in french, french
        page.eval('App.setLanguage("en-us")')
        page.wait('document.documentElement.lang === "en-us"')
        for kind in ('temp', 'thumbcache', 'chrome', 'firefox'):
            assert existing(profile.junk[kind]) == [], kind + ' was ticked and should be gone'
        for kind in ('edge', 'recent', 'prefetch', 'recyclebin'):
            assert existing(profile.junk[kind]) == profile.junk[kind], kind + ' was not ticked'
        assert existing(profile.sentinels) == profile.sentinels, 'a sentinel was touched'
        # Home remembers the clean.
        open_section(page, 'home')
        assert 'freed' in page.eval('document.querySelector("#section-home .hero-side").innerText')


def junk_stop_ends_the_current_category_and_skips_the_rest():
    with harness.Session('en-us') as session:
        page, profile = session.main, session.profile
        open_section(page, 'junk')
        page.click('#section-junk .section-tools .button')
        page.wait('document.querySelectorAll("#section-junk .row").length === 9', what='nine rows')
        page.click('#section-junk .action-bar .button.primary')
        confirm_dialog(page)
        # Stop is pressed the moment the progress appears, while the first category is cleaned.
        page.eval('new MutationObserver((changes, observer) => {'
                  ' const stop = document.querySelector("#section-junk .progress-panel .button");'
                  ' if (stop) { observer.disconnect(); stop.click(); }'
                  '}).observe(document.getElementById("section-junk"), {childList: true, subtree: true}); null')
        page.click('.dialog-backdrop [data-answer=go]')
        page.wait('document.querySelector("#section-junk .result") !== null', timeout=60, what='result summary')
        assert page.eval('document.querySelector("#section-junk .banner.warning") !== null'), 'no partial banner'
        lines = page.eval('document.querySelector("#section-junk .result-lines").innerText')
        assert lines.strip().startswith('Thumbnail cache') and '\n' not in lines.strip(), repr(lines)
        failed = page.eval('(document.querySelector("#section-junk .result-failed") || {}).textContent || ""')
        # Stop reaches the category under way too: it went before the stop, or the summary says
        # where the stop left it.
        assert existing(profile.junk['thumbcache']) == [] or 'Thumbnail cache \u2014 Stopped part-way' in failed, \
            repr(failed)
        for kind, label in (('temp', 'Temporary files'), ('chrome', 'Chrome cache'), ('firefox', 'Firefox cache')):
            assert existing(profile.junk[kind]) == profile.junk[kind], kind + ' came after Stop'
            assert label + ' \u2014 Not cleaned: stopped before it began' in failed, repr(failed)


def chat_clean_takes_the_cache_only():
    with harness.Session('en-us') as session:
        page, profile = session.main, session.profile
        open_section(page, 'chat')
        page.click('#section-chat .section-tools .button')
        page.wait('document.querySelectorAll("#section-chat .row-size").length === 4 && '
                  '!document.querySelector("#section-chat .progress-panel")', timeout=30, what='WeChat scan')
        assert ticked(page, 'chat') == {'wechat_cache'}, ticked(page, 'chat')
        tags = page.eval('Array.from(document.querySelectorAll("#section-chat .row"))'
                         '.filter((r) => r.querySelector(".tag")).map((r) => r.dataset.row)')
        assert tags == ['wechat_image', 'wechat_video', 'wechat_file'], tags
        details = page.eval('document.querySelector("#section-chat [data-row=wechat_video] .row-details").innerText')
        assert 'wxid_test01' in details, details
        page.screenshot('main-chat-results-live-en-us')
        page.click('#section-chat .action-bar .button.primary')
        dialog = confirm_dialog(page)
        assert dialog['focused'] == 'cancel'
        assert len(dialog['items']) == 1 and 'wxid_test01' in dialog['items'][0], dialog['items']
        page.click('.dialog-backdrop [data-answer=go]')
        page.wait('document.querySelector("#section-chat .result") !== null', timeout=60, what='chat result')
        assert existing(profile.chat['wechat_cache']) == []
        for kind in ('wechat_image', 'wechat_video', 'wechat_file', 'qq_cache', 'qq_image'):
            assert existing(profile.chat[kind]) == profile.chat[kind], kind + ' must stay'
        assert existing(profile.sentinels) == profile.sentinels
        # QQ has its own tab and its own scan.
        page.click('#chat-tab-qq')
        page.click('#section-chat .section-tools .button')
        page.wait('document.querySelectorAll("#section-chat .row-size").length === 4 && '
                  '!document.querySelector("#section-chat .progress-panel")', timeout=30, what='QQ scan')
        assert ticked(page, 'chat') == {'qq_cache'}
        # With the WeChat folders gone, the page says so instead of showing empty rows.
        shutil.rmtree(os.path.join(profile.documents, 'WeChat Files'))
        page.click('#chat-tab-wechat')
        page.click('#section-chat .section-tools .button')
        page.wait('document.querySelector("#section-chat .empty") && '
                  'document.querySelector("#section-chat .empty").innerText.includes("No WeChat data on this PC")',
                  timeout=30, what='no WeChat data')


def every_language_fits_and_reads():
    with harness.Session('en-us') as session:
        page = session.main
        # The check itself must see a clipped label, or a pass would mean nothing.
        page.eval('document.body.appendChild(Object.assign(document.createElement("button"), '
                  '{id: "probe", textContent: "Überlange Beschriftung", style: "width: 30px; white-space: nowrap"}))')
        assert any('Überlange' in p for p in page.eval(OVERFLOW_CHECK))
        page.eval('document.getElementById("probe").remove()')
        problems = {}
        for code in harness.LANGUAGES:
            page.eval('App.setLanguage(%r)' % code)
            page.wait('document.documentElement.lang === %r' % code)
            for section in ('home', 'junk', 'chat', 'settings', 'about'):
                page.eval('PellanorUI.show(%r, "results")' % section)
                found = page.eval(OVERFLOW_CHECK)
                if found:
                    problems[code + '/' + section] = found
                if code in ('en-us', 'de-de', 'ja-jp'):
                    page.screenshot('main-%s-results-%s' % (section, code))
        # The smallest window the layout promises, in the longest languages.
        page.eval('HostWindow.move(0, 0, 800, 560)')
        page.wait('innerWidth <= 800')
        for code in ('de-de', 'ru-ru', 'th-th'):
            page.eval('App.setLanguage(%r)' % code)
            for section in ('home', 'junk', 'chat', 'settings', 'about'):
                page.eval('PellanorUI.show(%r, "results")' % section)
                found = page.eval(OVERFLOW_CHECK)
                if found:
                    problems['800x560/' + code + '/' + section] = found
                if code == 'de-de':
                    page.screenshot('main-%s-results-de-de-800x560' % section)
        assert not problems, json.dumps(problems, ensure_ascii=False, indent=1)


if __name__ == '__main__':
    harness.run([junk_clean_removes_only_what_was_ticked, junk_stop_ends_the_current_category_and_skips_the_rest,
                 chat_clean_takes_the_cache_only,
                 every_language_fits_and_reads])
