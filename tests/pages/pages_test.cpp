// The packed pages in our engine under a virtual display: the loading page with stand-ins for
// the native objects, and the shared scripts (language tables, locale, logger, string helpers)
// in probe pages of their own. The engine runs with LANG=de-de on its command line.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include "tests/engine/engine_fixture.h"

using pellanor::test_support::EngineFixture;
using pellanor::test_support::loadEngine;
using pellanor::test_support::TestObject;
using sciter::value;

namespace {

QString text(const value& v) { return QString::fromStdU16String(v.toString()); }

const QStringList kLanguages = {"de-de", "en-us", "es-es", "fr-fr", "it-it", "ja-jp",
                                "ko-kr", "pt-pt", "ru-ru", "th-th", "tr-tr", "zh-cn"};

struct LogLine {
    QString message;
    QString tag;
};

class PagesFixture : public EngineFixture {
protected:
    static void SetUpTestSuite() {
        api = loadEngine();
        ASSERT_NE(api, nullptr) << dlerror();
        static bool initialised = false;
        if (initialised) return;
        const char16_t* argv[] = {u"pages_tests", u"LANG=de-de"};
        api->SciterExec(kAppInit, 2, reinterpret_cast<std::intptr_t>(argv));
        api->SciterSetOption(0, kOptionInspectorPort, 0);
        static const std::u16string folder = QString(PELLANOR_PACKED_PAGES).toStdU16String();
        api->SciterSetOption(0, kOptionPagesFolder,
                             reinterpret_cast<std::uintptr_t>(folder.data()));
        initialised = true;
    }

    // A NativeUtil whose log records every call; the loop stops at the message `stopAt`.
    TestObject* fakeNativeUtil(const QString& stopAt = QString()) {
        auto* native = new TestObject("NativeUtil");  // the engine keeps it: never freed
        native->method("log", 2, [this, stopAt](const std::vector<value>& args) {
            m_log.push_back({text(args.at(0)), text(args.at(1))});
            if (!stopAt.isEmpty() && m_log.back().message == stopAt) {
                api->SciterExec(kAppStop, 0, 0);
            }
            return value(0);
        });
        return native;
    }

    // Registers a Probe whose report(json) ends the loop, loads `url` into a new main window
    // and answers the reported object.
    QJsonObject runProbe(const QString& url, const std::map<QString, QByteArray>& pages) {
        auto* probe = new TestObject("Probe");
        probe->method("report", 1, [this](const std::vector<value>& args) {
            m_report = text(args.at(0));
            api->SciterExec(kAppStop, 0, 0);
            return value();
        });
        api->SciterSetGlobalAsset(probe, probe->passport(api));
        const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
        servePages(window, pages);
        api->SciterLoadFile(window, url.toStdU16String().c_str());
        EXPECT_EQ(runLoop(window), 0) << "the probe page did not report";
        closeWindow(window);
        return QJsonDocument::fromJson(m_report.toUtf8()).object();
    }

    void closeWindow(SciterWindow window) {
        api->SciterPostMessage(window, kMessageClose, 0, 0);
        runLoop(window, 2000);
    }

    std::vector<LogLine> m_log;
    QString m_report;
};

// The page of each script under test, with `body` run once the scripts have run. Without
// `declareUtf8` the page falls back to the engine's default encoding.
QByteArray probePage(const QStringList& scripts, const QByteArray& body, bool declareUtf8 = true) {
    QByteArray page = "<!doctype html><html class=\"i18n-pending\"><head>";
    if (declareUtf8) page += "<meta charset=\"utf-8\">";
    for (const QString& script : scripts)
        page += "<script src=\"" + script.toUtf8() + "\"></script>";
    return page + "</head><body><script>\n" + body + "\n</script></body></html>";
}

QSet<QString> placeholders(const QString& value) {
    QSet<QString> found;
    auto matches = QRegularExpression("\\{\\d+\\}").globalMatch(value);
    while (matches.hasNext()) found.insert(matches.next().captured());
    return found;
}

using PagesLoading = PagesFixture;

TEST_F(PagesLoading, LogsInGermanOpensTheMainWindowAndStepsAside) {
    TestObject* native = fakeNativeUtil("splash hidden");
    native->property("mainWindowPath",
                     [](const auto&) { return value(u"this://app/t/main.html"); });
    native->property("nativeVersion", [](const auto&) { return value(u"1.3.6"); });
    ASSERT_TRUE(api->SciterSetGlobalAsset(native, native->passport(api)));
    QStringList opened;
    auto* windows = new TestObject("WindowUtil");
    windows->method("createWindow", 3, [&opened](const std::vector<value>& args) {
        opened << text(args.at(0)) << text(args.at(1)) << text(args.at(2));
        return value(4242);
    });
    ASSERT_TRUE(api->SciterSetGlobalAsset(windows, windows->passport(api)));

    const SciterWindow window =
        api->SciterCreateWindow(kWindowMain | kWindowPopup | kWindowDebug, nullptr, 0);
    ASSERT_NE(window, 0);
    static QString title;
    auto* own = new TestObject("TinyWindow");
    own->method("setTitle", 1, [](const std::vector<value>& args) {
        title = text(args.at(0));
        return value();
    });
    own->property("showOnLoaded", [](const auto&) { return value(false); });
    ASSERT_TRUE(api->SciterSetWindowAsset(window, own, own->passport(api)));
    api->SciterWindowCommand(window, kWindowSetState, kWindowStateShown);
    ASSERT_TRUE(api->SciterLoadFile(window, u"this://app/main/loading.html"));
    EXPECT_EQ(runLoop(window), 0) << "the splash never hid itself";

    QStringList messages;
    for (const LogLine& line : m_log) {
        EXPECT_EQ(line.tag, "LoadingPage") << line.message.toStdString();
        messages << line.message;
    }
    EXPECT_TRUE(messages.contains("loading page started")) << messages.join('\n').toStdString();
    EXPECT_TRUE(messages.contains("language de-de (de-de from command line)"));
    EXPECT_TRUE(messages.contains(QString::fromUtf8("status loading.starting: Wird gestartet…")));
    EXPECT_TRUE(messages.contains("main window 4242 opened: this://app/t/main.html"));
    EXPECT_EQ(title, "Pellanor wird gestartet");
    EXPECT_EQ(opened, (QStringList{"this://app/t/main.html", "128", "true"}));
    EXPECT_FALSE(api->SciterIsVisible(window));
    closeWindow(window);
}

// The loading page as the user sees it, read by a probe that takes its place in the same
// window (document.open keeps the window's globals) once its status line shows `settled`.
// With `pressRetry` the reader then presses the retry button.
QByteArray loadingPageReader(const QString& settled, bool pressRetry) {
    QByteArray page = R"(
        <!doctype html><meta charset="utf-8"><script>
        const request = new XMLHttpRequest();
        request.open('GET', 'loading.html', false);
        request.send();
        const reader = `<script>
            const started = Date.now();
            (function read() {
                const status = document.getElementById('status').textContent;
                if (status !== SETTLED && Date.now() - started < 5000) return setTimeout(read, 20);
                const retry = document.getElementById('retry');
                const shown = JSON.stringify({
                    lang: document.documentElement.lang, status,
                    tagline: document.querySelector('.tagline').textContent,
                    close: document.getElementById('close').title,
                    version: document.getElementById('version').textContent,
                    pending: document.documentElement.classList.contains('i18n-pending'),
                    retry: retry.hidden ? '' : retry.textContent,
                });
                if (PRESS_RETRY) retry.click();
                Probe.report(shown);
            })();
        <\/script>`;
        window.onload = () => setTimeout(() => {
            document.open();
            document.write(request.responseText.replace('</body>', reader + '</body>'));
            document.close();
        });
        </script>)";
    const QByteArray quoted = QJsonDocument(QJsonArray{settled}).toJson(QJsonDocument::Compact);
    return page.replace("SETTLED", quoted.mid(1, quoted.size() - 2))
        .replace("PRESS_RETRY", pressRetry ? "true" : "false");
}

TEST_F(PagesLoading, ShowsItsTextsInTheCommandLineLanguage) {
    TestObject* native = fakeNativeUtil();  // no main page: the splash stays
    ASSERT_TRUE(api->SciterSetGlobalAsset(native, native->passport(api)));
    const QJsonObject shown = runProbe(
        "this://app/main/probe.html",
        {{"main/probe.html", loadingPageReader(QString::fromUtf8("Wird geladen…"), false)}});
    EXPECT_EQ(shown["lang"].toString(), "de-de");
    EXPECT_EQ(shown["status"].toString(), QString::fromUtf8("Wird geladen…"));
    EXPECT_EQ(shown["tagline"].toString(), QString::fromUtf8("Ihr PC – sauber und schnell"));
    EXPECT_EQ(shown["close"].toString(), QString::fromUtf8("Schließen"));
    EXPECT_EQ(shown["version"].toString(), "Version 1.3.6");
    EXPECT_FALSE(shown["pending"].toBool());
    EXPECT_EQ(shown["retry"].toString(), "");
}

TEST_F(PagesLoading, AMainWindowThatFailsToOpenIsReportedAndCanBeRetried) {
    TestObject* native = fakeNativeUtil();
    native->property("mainWindowPath",
                     [](const auto&) { return value(u"this://app/t/main.html"); });
    ASSERT_TRUE(api->SciterSetGlobalAsset(native, native->passport(api)));
    int attempts = 0;
    auto* windows = new TestObject("WindowUtil");
    windows->method("createWindow", 3, [&attempts](const auto&) {
        ++attempts;
        return value(0);
    });
    ASSERT_TRUE(api->SciterSetGlobalAsset(windows, windows->passport(api)));
    const QString failed = QString::fromUtf8("Pellanor konnte das Hauptfenster nicht öffnen.");
    const QJsonObject shown = runProbe("this://app/main/probe.html",
                                       {{"main/probe.html", loadingPageReader(failed, true)}});
    EXPECT_EQ(shown["status"].toString(), failed);
    EXPECT_EQ(shown["retry"].toString(), "Wiederholen");
    EXPECT_EQ(attempts, 2) << "the retry button asks again";
    bool errorLogged = false;
    for (const LogLine& line : m_log) {
        errorLogged |= line.message == "ERROR: no main window for this://app/t/main.html";
    }
    EXPECT_TRUE(errorLogged);
}

using PagesLanguages = PagesFixture;

TEST_F(PagesLanguages, EveryTableHasTheKeysAndPlaceholdersOfTheEnglishOne) {
    TestObject* native = fakeNativeUtil();
    ASSERT_TRUE(api->SciterSetGlobalAsset(native, native->passport(api)));
    QStringList scripts{"../common/js/defaultlangs.js"};
    for (const QString& code : kLanguages) scripts << "../common/langs/" + code + ".js";
    const QJsonObject tables =
        runProbe("this://app/t/tables.html", {{"t/tables.html", probePage(scripts, R"(
            const tables = Object.assign({default: PellanorDefaultLang}, PellanorLangs);
            Probe.report(JSON.stringify(tables));
        )")}});
    const QJsonObject english = tables["en-us"].toObject();
    ASSERT_GE(english.size(), 40);
    EXPECT_EQ(tables["default"].toObject(), english) << "defaultlangs.js drifted from en-us.js";
    for (const QString& code : kLanguages) {
        SCOPED_TRACE(code.toStdString());
        const QJsonObject table = tables[code].toObject();
        ASSERT_FALSE(table.isEmpty()) << "the language file defines no table under its code";
        EXPECT_EQ(table.keys(), english.keys());
        for (const QString& key : english.keys()) {
            const QString translated = table[key].toString();
            EXPECT_FALSE(translated.trimmed().isEmpty()) << key.toStdString();
            EXPECT_EQ(placeholders(translated), placeholders(english[key].toString()))
                << key.toStdString();
        }
    }
    EXPECT_NE(tables["de-de"].toObject()["common.cancel"], english["common.cancel"]);
}

using PagesLocale = PagesFixture;

TEST_F(PagesLocale, MissingKeysFallBackToTheDefaultsAndTagsMapToTheTwelveTables) {
    TestObject* native = fakeNativeUtil();
    ASSERT_TRUE(api->SciterSetGlobalAsset(native, native->passport(api)));
    const QJsonObject r = runProbe(
        "this://app/t/locale.html",
        {{"t/locale.html", probePage({"../common/js/global.js", "../common/js/stringutil.js",
                                      "../common/js/defaultlangs.js", "../common/js/locale.js"},
                                     R"(
            // A table defined before the locale loads is used as it is: a German table that
            // lacks most keys.
            window.PellanorLangs = {'de-de': {'app.tagline': 'Nur dies'}};
            const tags = ['de', 'pt-BR', 'zh-TW', 'zh-Hans', 'en_GB', 'JA-jp', 'xx', '', 'fr-CA'];
            Locale.init().then(async (picked) => {
                const r = {picked, mapped: tags.map(Locale.normalize)};
                r.own = Locale.t('app.tagline');
                r.fallback = Locale.t('common.cancel');
                r.unknown = Locale.t('no.such.key');
                r.formatted = Locale.t('app.version', '1.3.6');
                r.unsupported = (await Locale.init('xx-yy')).code;
                const spanish = await Locale.init('es');
                r.spanish = [spanish.code, spanish.loaded, Locale.t('common.yes')];
                Probe.report(JSON.stringify(r));
            });
        )",
                                     false)}});
    EXPECT_EQ(r["picked"].toObject()["code"].toString(), "de-de");
    EXPECT_EQ(r["picked"].toObject()["source"].toString(), "command line");
    EXPECT_EQ(r["mapped"].toArray(),
              (QJsonArray{"de-de", "pt-pt", "zh-cn", "zh-cn", "en-us", "ja-jp", "", "", "fr-fr"}));
    EXPECT_EQ(r["own"].toString(), "Nur dies");
    EXPECT_EQ(r["fallback"].toString(), "Cancel");
    EXPECT_EQ(r["unknown"].toString(), "no.such.key");
    EXPECT_EQ(r["formatted"].toString(), "Version 1.3.6");
    EXPECT_EQ(r["unsupported"].toString(), "en-us");
    EXPECT_EQ(r["spanish"].toArray(), (QJsonArray{"es-es", true, QString::fromUtf8("Sí")}))
        << "a language table loaded into a page without a declared charset keeps its UTF-8";
}

using PagesHelpers = PagesFixture;

// A failing bridge must not break the page that logs, and the helpers answer bad input with
// empty or unchanged text.
TEST_F(PagesHelpers, LoggerSurvivesAFailingBridgeAndStringHelpersHandleBadInput) {
    auto* failing = new TestObject("NativeUtil");
    int calls = 0;
    failing->method("log", 2, [&calls](const auto&) {
        ++calls;
        return value::error(u"bridge down");
    });
    ASSERT_TRUE(api->SciterSetGlobalAsset(failing, failing->passport(api)));
    const QJsonObject r = runProbe(
        "this://app/t/helpers.html",
        {{"t/helpers.html", probePage({"../common/js/stringutil.js", "../common/js/logger.js"}, R"(
            const r = {};
            try {
                const log = Logger.create('');
                const cyclic = {}; cyclic.self = cyclic;
                log.info('plain'); log.error(new Error('boom'), cyclic); log.debug('hidden');
                r.logged = 'no throw';
            } catch (e) { r.logged = e.message; }
            r.level = [Logger.setLevel('loud'), Logger.level()];
            const S = StringUtil;
            r.format = [S.format('{0} of {1}, {0}', 3, 'x'), S.format('{2} left', 1), S.format(null)];
            r.escape = S.escapeHtml('<a href="x">Tom & \'Jerry\'</a>');
            r.bytes = [S.formatBytes(0), S.formatBytes(1023), S.formatBytes(1536),
                       S.formatBytes(5 * 1024 * 1024 * 1024), S.formatBytes(2048, ['o','Ko','Mo','Go','To']),
                       S.formatBytes(-1), S.formatBytes('abc'), S.formatBytes(Math.pow(1024, 6))];
            r.pad = [S.padStart(7, 3, '0'), S.padEnd('ab', 4, '.'), S.trim('  x  ')];
            r.truncate = [S.truncate('abcdef', 4), S.truncate('ab', 4), S.truncate('\u{1F600}\u{1F600}\u{1F600}', 2)];
            Probe.report(JSON.stringify(r));
        )")}});
    EXPECT_EQ(r["logged"].toString(), "no throw");
    EXPECT_EQ(calls, 2) << "the debug line passes the default level";
    EXPECT_EQ(r["level"].toArray(), (QJsonArray{false, "info"}));
    EXPECT_EQ(r["format"].toArray(), (QJsonArray{"3 of x, 3", "{2} left", ""}));
    EXPECT_EQ(r["escape"].toString(),
              "&lt;a href=&quot;x&quot;&gt;Tom &amp; &#39;Jerry&#39;&lt;/a&gt;");
    EXPECT_EQ(r["bytes"].toArray(),
              (QJsonArray{"0 B", "1023 B", "1.5 KB", "5 GB", "2 Ko", "", "", "1048576 TB"}));
    EXPECT_EQ(r["pad"].toArray(), (QJsonArray{"007", "ab..", "x"}));
    EXPECT_EQ(r["truncate"].toArray(),
              (QJsonArray{QString::fromUtf8("abc…"), "ab", QString::fromUtf8("\U0001F600…")}));
}

}  // namespace
