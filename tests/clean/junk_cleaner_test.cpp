#include "clean/junk_cleaner.h"

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "tests/clean/clean_test_support.h"

namespace pellanor {
namespace {

using test_support::exists;
using test_support::FakeProfile;
using test_support::LogCapture;
using test_support::ManyFiles;
using test_support::writeFile;

std::string summary(const std::string& types, bool success) {
    return "clean privacy items. types=" + types + " success=" + (success ? "true" : "false");
}

TEST(ClearFolderContents, KeepsHiddenEntriesDirectlyInTheFolderAndTheFolderItself) {
    FakeProfile profile;
    writeFile(profile.temp("plain.tmp"), 1);
    writeFile(profile.temp(".hidden.tmp"), 1);
    writeFile(profile.temp(".hidden-folder/inside.tmp"), 1);
    writeFile(profile.temp("sub/.hidden-inside.tmp"), 1);
    writeFile(profile.temp("sub/deeper/x.tmp"), 1);

    EXPECT_TRUE(clearFolderContents(profile.temp()));
    EXPECT_TRUE(QDir(profile.temp()).exists());
    EXPECT_FALSE(exists(profile.temp("plain.tmp")));
    EXPECT_FALSE(exists(profile.temp("sub")));
    EXPECT_TRUE(exists(profile.temp(".hidden.tmp")));
    EXPECT_TRUE(exists(profile.temp(".hidden-folder/inside.tmp")));
    EXPECT_TRUE(clearFolderContents(profile.temp("missing")));
}

TEST(ClearFolderContents, RemovesLinksWithoutTouchingWhatTheyPointAt) {
    FakeProfile profile;
    const QString sentinel = profile.makeSentinel();
    QFile::link(sentinel, profile.temp("link-to-folder"));
    QFile::link(sentinel + "/keep.txt", profile.temp("link-to-file"));
    QDir().mkpath(profile.temp("sub"));
    QFile::link(sentinel, profile.temp("sub/nested-link"));

    clearFolderContents(profile.temp());
    EXPECT_FALSE(exists(profile.temp("link-to-folder")));
    EXPECT_FALSE(exists(profile.temp("link-to-file")));
    EXPECT_FALSE(exists(profile.temp("sub")));
    EXPECT_TRUE(exists(sentinel + "/keep.txt"));
}

TEST(CleanPrivacyItems, CleansNothingForTextThatIsNotAnArray) {
    FakeProfile profile;
    writeFile(profile.temp("a.tmp"), 1);
    LogCapture log;
    for (const char* types : {"", "{\"temp\": 1}", "\"temp\"", "[\"temp\"", "[1, null]"}) {
        EXPECT_TRUE(cleanPrivacyItems(QString::fromUtf8(types)));
        EXPECT_TRUE(log.contains(summary(types, true))) << types;
    }
    EXPECT_TRUE(exists(profile.temp("a.tmp")));
}

TEST(CleanPrivacyItems, AppliesEachRuleAndSkipsUnknownIds) {
    FakeProfile profile;
    const QString explorer = profile.local("Microsoft/Windows/Explorer/");
    writeFile(explorer + "thumbcache_256.db", 1);
    writeFile(explorer + "iconcache_256.db", 1);
    writeFile(profile.roaming("Microsoft/Windows/Recent/a.lnk"), 1);
    writeFile(profile.driveC("Windows/Prefetch/APP.pf"), 1);
    writeFile(profile.path("Data/Trash/files/old.txt"), 1);
    writeFile(profile.path("Data/Trash/info/old.txt.trashinfo"), 1);
    const QString chrome = profile.local("Google/Chrome/User Data/Default/Cache");
    const QString edge = profile.local("Microsoft/Edge/User Data/Default/Cache");
    writeFile(chrome + "/data_1", 1);
    writeFile(edge + "/data_1", 1);
    const QString firefox = profile.local("Mozilla/Firefox/Profiles/");
    writeFile(firefox + "ab.default-release/cache2/entries/1", 1);
    writeFile(firefox + "ab.default-release/places.sqlite", 1);
    writeFile(firefox + "cd.default/cache2/entries/2", 1);
    LogCapture log;

    const QString types = R"(["thumbcache", "nonsense", "recent", "prefetch", "recyclebin",
                              "chrome", "edge", "firefox", "recent"])";
    EXPECT_TRUE(cleanPrivacyItems(types));
    EXPECT_TRUE(log.contains(summary(types.toStdString(), true)));
    EXPECT_FALSE(exists(explorer + "thumbcache_256.db"));
    EXPECT_TRUE(exists(explorer + "iconcache_256.db"));
    EXPECT_FALSE(exists(profile.roaming("Microsoft/Windows/Recent/a.lnk")));
    EXPECT_TRUE(exists(profile.roaming("Microsoft/Windows/Recent")));
    EXPECT_FALSE(exists(profile.driveC("Windows/Prefetch/APP.pf")));
    EXPECT_TRUE(exists(profile.driveC("Windows/Prefetch")));
    EXPECT_FALSE(exists(profile.path("Data/Trash/files/old.txt")));
    EXPECT_FALSE(exists(profile.path("Data/Trash/info/old.txt.trashinfo")));
    // The browser cache folders go themselves, not only their contents.
    EXPECT_FALSE(exists(chrome));
    EXPECT_FALSE(exists(edge));
    EXPECT_TRUE(exists(profile.local("Google/Chrome/User Data/Default")));
    EXPECT_FALSE(exists(firefox + "ab.default-release/cache2"));
    EXPECT_TRUE(exists(firefox + "ab.default-release/places.sqlite"));
    EXPECT_TRUE(exists(firefox + "cd.default/cache2/entries/2"));
}

TEST(CleanPrivacyItems, LeavesSentinelsBehindLinksInCleanedFolders) {
    FakeProfile profile;
    const QString sentinel = profile.makeSentinel();
    QFile::link(sentinel, profile.temp("link"));
    writeFile(profile.local("Google/Chrome/User Data/Default/x"), 1);
    QFile::link(sentinel, profile.local("Google/Chrome/User Data/Default/Cache"));
    writeFile(profile.local("Mozilla/Firefox/Profiles/ab.default-release/prefs.js"), 1);
    QFile::link(sentinel, profile.local("Mozilla/Firefox/Profiles/ab.default-release/cache2"));
    QFile::link(sentinel, profile.path("Data/Trash/files/linked"));

    cleanPrivacyItems(R"(["temp", "chrome", "firefox", "recyclebin"])");
    EXPECT_FALSE(exists(profile.temp("link")));
    EXPECT_FALSE(exists(profile.local("Google/Chrome/User Data/Default/Cache")));
    EXPECT_FALSE(exists(profile.path("Data/Trash/files/linked")));
    EXPECT_TRUE(exists(sentinel + "/keep.txt"));
}

TEST(CleanPrivacyItems, LeavesTheCacheOfALinkedFirefoxProfileAlone) {
    FakeProfile profile;
    writeFile(profile.outside("profile/cache2/entries/1"), 1);
    writeFile(profile.local("Mozilla/Firefox/Profiles/ab.default-release/cache2/entries/1"), 1);
    QFile::link(profile.outside("profile"),
                profile.local("Mozilla/Firefox/Profiles/zz.default-release"));

    cleanPrivacyItems(R"(["firefox"])");
    EXPECT_FALSE(exists(profile.local("Mozilla/Firefox/Profiles/ab.default-release/cache2")));
    EXPECT_TRUE(exists(profile.outside("profile/cache2/entries/1")));
}

TEST(CleanPrivacyItems, DoesNotEmptyWhatALinkedTrashFolderPointsAt) {
    FakeProfile profile;
    const QString sentinel = profile.makeSentinel();
    QDir().mkpath(profile.path("Data/Trash"));
    QFile::link(sentinel, profile.path("Data/Trash/files"));
    writeFile(profile.path("Data/Trash/info/old.txt.trashinfo"), 1);
    LogCapture log;

    cleanPrivacyItems(R"(["recyclebin"])");
    EXPECT_TRUE(exists(sentinel + "/keep.txt"));
    EXPECT_FALSE(exists(profile.path("Data/Trash/info/old.txt.trashinfo")));
    EXPECT_TRUE(log.contains(summary(R"(["recyclebin"])", false)));
}

TEST(CleanPrivacyItems, ReportsAFileThatCannotBeRemovedAsFailureInTheSummaryOnly) {
    FakeProfile profile;
    const QString cache = profile.local("Microsoft/Windows/Explorer/thumbcache_256.db");
    writeFile(cache, 1);
    const test_support::ImmutableFile locked(cache);
    if (!locked.ok()) GTEST_SKIP() << "this host cannot make a file undeletable";
    LogCapture log;

    EXPECT_TRUE(cleanPrivacyItems(R"(["thumbcache"])"));
    EXPECT_TRUE(exists(cache));
    EXPECT_TRUE(log.contains(summary(R"(["thumbcache"])", false)));
}

TEST(CleanPrivacyItems, TurnsHibernationOffThroughPowercfgAndJudgesItsExitCode) {
    FakeProfile profile;
    LogCapture log;
    {
        test_support::FakeTools tools;
        tools.add("powercfg.exe", 1);
        cleanPrivacyItems(R"(["hibernate"])");
        EXPECT_EQ(tools.calls("powercfg.exe"), (QStringList{"/hibernate", "off"}));
        EXPECT_TRUE(log.contains(summary(R"(["hibernate"])", false)));
    }
    {
        test_support::FakeTools tools;
        tools.add("powercfg.exe", 0);
        cleanPrivacyItems(R"(["hibernate"] )");
        EXPECT_TRUE(log.contains(summary(R"(["hibernate"] )", true)));
    }
}

TEST(CleanPrivacyItems, SkipsTheCacheOfARunningBrowser) {
    FakeProfile profile;
    const QString cache = profile.local("Google/Chrome/User Data/Default/Cache/data_1");
    writeFile(cache, 1);
    writeFile(profile.temp("a.tmp"), 1);
    // A program whose executable is named like the browser's.
    const QString fakeBrowser = profile.outside("chrome.exe");
    ASSERT_TRUE(QFile::copy("/bin/sleep", fakeBrowser));
    QFile(fakeBrowser).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    QProcess browser;
    browser.start(fakeBrowser, {"30"});
    ASSERT_TRUE(browser.waitForStarted());
    LogCapture log;

    EXPECT_TRUE(cleanPrivacyItems(R"(["chrome", "temp"])"));
    browser.kill();
    browser.waitForFinished();
    EXPECT_TRUE(exists(cache));
    EXPECT_FALSE(exists(profile.temp("a.tmp")));
    EXPECT_TRUE(
        log.contains("chrome is running, skip cache cleaning to avoid ERR_CACHE_READ_FAILURE"));
    EXPECT_TRUE(log.contains(summary(R"(["chrome", "temp"])", true)));
}

TEST(CleanPrivacyItemsAsync, ReportsDoneExactlyOnceFromAWorkerThread) {
    FakeProfile profile;
    writeFile(profile.temp("a.tmp"), 1);
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<QVariantMap> events;
    bool otherThread = false;
    const auto caller = QThread::currentThread();

    EXPECT_EQ(cleanPrivacyItemsAsync(R"(["temp"])",
                                     [&](const QVariantMap& event) {
                                         std::lock_guard<std::mutex> lock(mutex);
                                         events.push_back(event);
                                         otherThread = QThread::currentThread() != caller;
                                         arrived.notify_all();
                                     }),
              1);
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(10), [&] { return !events.empty(); }));
    lock.unlock();
    QThread::msleep(200);  // a second report would arrive in this time
    lock.lock();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], (QVariantMap{{"type", "done"}, {"success", true}}));
    EXPECT_TRUE(otherThread);
    EXPECT_FALSE(exists(profile.temp("a.tmp")));
}

TEST(CleanPrivacyItemsAsync, SurvivesAReportFunctionThatThrows) {
    FakeProfile profile;
    LogCapture log;
    cleanPrivacyItemsAsync("[]", [](const QVariantMap&) { throw std::runtime_error("gone"); });
    const std::string expected = "clean privacy items report failed: gone";
    for (int i = 0; i < 100 && !log.contains(expected); ++i) QThread::msleep(50);
    EXPECT_TRUE(log.contains(expected));
}

// Collects the reports of an asynchronous clean; shared with the worker, which may outlive a
// test that failed while it ran.
class FinalReport final {
public:
    ReportFunction function() {
        return [state = m_state](const QVariantMap& event) {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->events.push_back(event);
            state->arrived.notify_all();
        };
    }
    // The reports so far once the first has come, or none after `wait`.
    std::vector<QVariantMap> waitFor(std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(m_state->mutex);
        m_state->arrived.wait_for(lock, wait, [this] { return !m_state->events.empty(); });
        return m_state->events;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable arrived;
        std::vector<QVariantMap> events;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

TEST(CleanPrivacyItemsAsync, StopEndsATempFolderOfTwentyThousandFilesPartWay) {
    FakeProfile profile;
    const QString sentinel = profile.makeSentinel();
    const ManyFiles files(profile.temp("many"), 200, 100);
    FinalReport report;
    LogCapture log;

    // "recent" comes after the stop: it must not be cleaned.
    writeFile(profile.roaming("Microsoft/Windows/Recent/a.lnk"), 1);
    ASSERT_EQ(cleanPrivacyItemsAsync(R"(["temp", "recent"])", report.function()), 1);
    ASSERT_TRUE(files.waitUntilOneGoes());
    const auto stoppedAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(stopCleanPrivacyItems());
    // Bounds a loaded or sanitized run meets while a clean run to its end would not; the
    // prompt stop users see is the benchmark's to show.
    const std::vector<QVariantMap> events = report.waitFor(std::chrono::seconds(10));
    const auto took = std::chrono::steady_clock::now() - stoppedAt;

    ASSERT_EQ(events.size(), 1u) << "no report within 10 s of the stop";
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_EQ(events[0], (QVariantMap{{"type", "done"}, {"success", true}, {"stopped", true}}));
    EXPECT_GT(files.filesLeft(), 0);
    EXPECT_LT(files.filesLeft(), 200 * 100);
    EXPECT_TRUE(exists(profile.roaming("Microsoft/Windows/Recent/a.lnk")));
    EXPECT_TRUE(exists(sentinel + "/keep.txt"));
    EXPECT_TRUE(log.contains("clean privacy items stopped before recent"));
    // Its report sent, the clean no longer runs: a second Stop finds nothing.
    EXPECT_FALSE(stopCleanPrivacyItems());
}

TEST(CleanPrivacyItemsAsync, AStopBeforeAnyCleanRunsReachesNoLaterClean) {
    FakeProfile profile;
    writeFile(profile.temp("a.tmp"), 1);
    EXPECT_FALSE(stopCleanPrivacyItems());
    FinalReport report;
    ASSERT_EQ(cleanPrivacyItemsAsync(R"(["temp"])", report.function()), 1);
    const std::vector<QVariantMap> events = report.waitFor(std::chrono::seconds(10));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], (QVariantMap{{"type", "done"}, {"success", true}}));
    EXPECT_FALSE(exists(profile.temp("a.tmp")));
}

}  // namespace
}  // namespace pellanor
