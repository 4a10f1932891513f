// Update downloads end in exactly one final report, write the target only when every byte is on
// disk, and leave nothing behind when they fail or are cancelled.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "net/http_client.h"
#include "net/update_download.h"
#include "tests/net/net_test_support.h"

namespace {

using pellanor::net::HttpClient;
using pellanor::net::HttpLimits;
using namespace pellanor::test_support;

struct Reports {
    QList<QVariantMap> all;
    int refusals = 0;  // the page refuses this many final reports first, as a busy page does
    int finals() const {
        int count = 0;
        for (const QVariantMap& report : all) count += report.value("type") != "progress";
        return count;
    }
    QVariantMap last() const { return all.isEmpty() ? QVariantMap() : all.last(); }
};

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        privateHome();
        application();
        ASSERT_TRUE(m_service.running());
        ASSERT_TRUE(m_folder.isValid());
        HttpLimits limits;
        limits.inactivityMs = 400;
        HttpClient::instance()->setLimits(limits);
    }
    // A test that stops early must not leave a download reporting to its dead locals.
    void TearDown() override {
        for (const QString& id : m_started) pellanor::net::cancelDownload(id);
        runFor(100);
        HttpClient::instance()->setLimits(HttpLimits());
    }

    QString start(const QString& url, const QString& savePath, Reports& reports) {
        const QString id =
            pellanor::net::downloadUpdate(url, savePath, [&reports](const QVariantMap& report) {
                reports.all << report;
                if (report.value("type") == "progress" || reports.refusals == 0) return true;
                --reports.refusals;
                return false;
            });
        m_started << id;
        return id;
    }
    bool finish(Reports& reports) {
        const bool ended = runUntil([&] { return reports.finals() > 0; }, 10000);
        runFor(200);  // nothing may follow the final report
        return ended;
    }
    QStringList leftovers() const {
        return QDir(m_folder.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    TestService m_service;
    QTemporaryDir m_folder;
    QStringList m_started;
};

QByteArray pattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 256);
    return bytes;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(DownloadTest, SavesTheWholeBodyAndReportsProgressWithTheSizeOrMinusOne) {
    Reports reports;
    const QString target = m_folder.filePath("new/folder/setup.exe");
    start(m_service.url("/bytes/3000000"), target, reports);
    ASSERT_TRUE(finish(reports));
    EXPECT_EQ(reports.finals(), 1);
    EXPECT_EQ(reports.last().value("type"), "done");
    EXPECT_EQ(reports.last().value("path"), target);
    EXPECT_EQ(contents(target), pattern(3000000));
    ASSERT_GE(reports.all.size(), 2);
    const QVariantMap progress = reports.all[reports.all.size() - 2];
    EXPECT_EQ(progress.value("received").toDouble(), 3000000.0);
    EXPECT_EQ(progress.value("total").toDouble(), 3000000.0);
    EXPECT_EQ(QDir(m_folder.filePath("new/folder")).entryList(QDir::Hidden | QDir::Files),
              QStringList{"setup.exe"});

    Reports unsized;  // no Content-Length: "total" is -1
    start(m_service.url("/trickle/nolength/20000"), m_folder.filePath("a.bin"), unsized);
    ASSERT_TRUE(finish(unsized));
    EXPECT_EQ(unsized.all.first().value("total").toDouble(), -1.0);
    EXPECT_EQ(contents(m_folder.filePath("a.bin")).size(), 20000);

    const RecordedRequest request = m_service.requests().value(0);
    EXPECT_EQ(request.headers.value("user-agent"), "Pellanor/1.3.6");
    EXPECT_FALSE(request.headers.contains("x-app-id"));
    EXPECT_FALSE(request.headers.contains("content-type"));
}

TEST_F(DownloadTest, EndsEveryFailureInOneErrorReportAndLeavesTheFolderAsItWas) {
    const QString refused = QStringLiteral("http://127.0.0.1:%1/x").arg(refusedPort());
    struct Case {
        const char* name;
        QString url;
        const char* errorContains;
    } cases[] = {
        {"not found", m_service.url("/status/404/setup.exe"), "404"},
        {"server error", m_service.url("/status/500/setup.exe"), "500"},
        {"redirect", m_service.url("/redirect/setup.exe"), "302"},
        {"short body", m_service.url("/short/100000"), ""},
        {"stalled", m_service.url("/stall/100000"), "request timeout"},
        {"refused port", refused, ""},
        {"plain http elsewhere", "http://192.0.2.1/setup.exe", "refused"},
        {"other scheme", m_service.url("/x").replace("http:", "ftp:"), "refused"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString target = m_folder.filePath("setup.exe");
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("previous installer");
        old.close();
        Reports reports;
        start(c.url, m_folder.filePath("sub/setup.exe"), reports);
        start(c.url, target, reports);
        ASSERT_TRUE(finish(reports));
        runUntil([&] { return reports.finals() == 2; }, 5000);
        EXPECT_EQ(reports.finals(), 2);
        EXPECT_EQ(reports.last().value("type"), "error");
        EXPECT_TRUE(reports.last().value("error").toString().contains(c.errorContains))
            << reports.last().value("error").toString().toStdString();
        EXPECT_EQ(leftovers(), QStringList{"setup.exe"});
        EXPECT_EQ(contents(target), "previous installer");
    }
    EXPECT_EQ(m_service.requests().size(), 2 * 5) << "refused addresses are never requested";
}

// The page tells a time-out by this exact text and shows its own message for it.
TEST_F(DownloadTest, ATimeOutReachesThePageAsRequestTimeout) {
    Reports reports;
    start(m_service.url("/stall/100000"), m_folder.filePath("slow.exe"), reports);
    ASSERT_TRUE(finish(reports));
    EXPECT_EQ(reports.last().value("type"), "error");
    EXPECT_EQ(reports.last().value("error"), "request timeout");
}

// A save path goes through the drive map as every path method's does; a relative one would land
// wherever the process stands, so it is refused before anything is requested.
TEST_F(DownloadTest, SavesOnlyToAnAbsolutePathThroughTheDriveMap) {
    const QByteArray drives = qgetenv("PELLANOR_DRIVES");
    qputenv("PELLANOR_DRIVES", ("Q=" + m_folder.filePath("q")).toUtf8());
    const struct {
        const char* name;
        QString savePath;
        QString written;  // empty: refused
    } cases[] = {
        {"relative", "w.exe", {}},
        {"drive-relative", "C:w.exe", {}},
        {"rooted on the current drive", "\\Temp\\w.exe", {}},
        {"mapped drive", "Q:\\Temp\\w.exe", m_folder.filePath("q/Temp/w.exe")},
        {"mapped drive, forward slashes", "q:/Temp/x.exe", m_folder.filePath("q/Temp/x.exe")},
        {"absolute host path", m_folder.filePath("host/w.exe"), m_folder.filePath("host/w.exe")},
    };
    const QStringList standing = QDir::current().entryList(QDir::AllEntries | QDir::Hidden);
    const int requestsBefore = m_service.requests().size();
    int requested = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reports reports;
        const QString id = start(m_service.url("/bytes/1000"), c.savePath, reports);
        if (c.written.isEmpty()) {
            EXPECT_EQ(id, "");
            runFor(200);
            EXPECT_TRUE(reports.all.isEmpty());
            continue;
        }
        ++requested;
        EXPECT_TRUE(id.startsWith("dl_")) << id.toStdString();
        ASSERT_TRUE(finish(reports));
        EXPECT_EQ(reports.last().value("path"), c.written);
        EXPECT_EQ(contents(c.written), pattern(1000));
    }
    EXPECT_EQ(QDir::current().entryList(QDir::AllEntries | QDir::Hidden), standing);
    EXPECT_EQ(m_service.requests().size() - requestsBefore, requested);
    qputenv("PELLANOR_DRIVES", drives);
    if (drives.isNull()) qunsetenv("PELLANOR_DRIVES");
}

// Windows starts a downloaded installer as it is; here it is made executable once it is whole.
TEST_F(DownloadTest, ASavedInstallerCanBeStarted) {
    const QString published = m_folder.filePath("published/setup.sh");
    const QString marker = m_folder.filePath("ran.txt");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(published).path()));
    QFile script(published);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho ran > '%1'\n").arg(marker).toUtf8());
    script.close();
    TestService service({QStringLiteral("--installer"), published});
    ASSERT_TRUE(service.running());

    Reports reports;
    const QString target = m_folder.filePath("temp/setup.sh");
    start(service.url("/installer/setup.sh"), target, reports);
    ASSERT_TRUE(finish(reports));
    ASSERT_EQ(reports.last().value("type"), "done");
    const QFile::Permissions mode = QFileInfo(target).permissions();
    EXPECT_TRUE(mode & QFile::ExeOwner);
    EXPECT_EQ(bool(mode & QFile::ExeGroup), bool(mode & QFile::ReadGroup));
    EXPECT_EQ(bool(mode & QFile::ExeOther), bool(mode & QFile::ReadOther));
    EXPECT_EQ(QProcess::execute(target, {}), 0);
    EXPECT_EQ(contents(marker), "ran\n");
}

TEST_F(DownloadTest, SavesBesideAFolderInTheWayUnderGrowingNames) {
    ASSERT_TRUE(QDir(m_folder.path()).mkpath("setup.exe"));
    ASSERT_TRUE(QDir(m_folder.path()).mkpath("setup_1.exe"));
    Reports reports;
    start(m_service.url("/bytes/1000"), m_folder.filePath("setup.exe"), reports);
    ASSERT_TRUE(finish(reports));
    EXPECT_EQ(reports.last().value("path"), m_folder.filePath("setup_1_2.exe"));
    EXPECT_EQ(contents(m_folder.filePath("setup_1_2.exe")), pattern(1000));
}

TEST_F(DownloadTest, OffersAFinalReportThePageRefusedAgain) {
    Reports reports;
    reports.refusals = 2;
    start(m_service.url("/status/404/x"), m_folder.filePath("x.exe"), reports);
    ASSERT_TRUE(runUntil([&] { return reports.finals() == 3; }, 5000));
    runFor(500);
    EXPECT_EQ(reports.finals(), 3) << "offered until taken, then never again";
}

TEST_F(DownloadTest, CancellingStopsTheReportsAndLeavesNoFile) {
    QStringList finished;
    const auto connection = QObject::connect(HttpClient::instance(), &HttpClient::downloadFinished,
                                             [&](const QString& id, bool success, const QString&) {
                                                 finished << id + (success ? " done" : " failed");
                                             });
    Reports reports, other;
    const QString id =
        start(m_service.url("/trickle/bytes/10000000"), m_folder.filePath("a.exe"), reports);
    const QString next = start(m_service.url("/bytes/5000"), m_folder.filePath("b.exe"), other);
    EXPECT_EQ(next, QStringLiteral("dl_%1").arg(id.mid(3).toInt() + 1));
    ASSERT_TRUE(runUntil([&] { return !reports.all.isEmpty(); }, 5000));
    const int seen = reports.all.size();
    EXPECT_EQ(pellanor::net::cancelDownload(id), id);
    ASSERT_TRUE(finish(other));
    runFor(300);
    QObject::disconnect(connection);
    EXPECT_EQ(reports.all.size(), seen);
    finished.sort();
    EXPECT_EQ(finished, (QStringList{id + " failed", next + " done"}));
    EXPECT_EQ(other.last().value("type"), "done");
    EXPECT_EQ(leftovers(), QStringList{"b.exe"});
}

// The download runs in pellanor-cli with a 1 MiB file-size limit: the disk is "full".
TEST_F(DownloadTest, ReportsAFullDiskAsAnErrorAndRemovesThePartialFile) {
    const QString output = m_folder.filePath("cli-output.txt");
    const std::string cli = PELLANOR_CLI;
    const std::string url = m_service.url("/bytes/4000000").toStdString();
    const std::string target = m_folder.filePath("full/setup.exe").toStdString();
    const QByteArray outputPath = output.toLocal8Bit();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);
        const int fd = open(outputPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 1);
        execl(cli.c_str(), cli.c_str(), "downloadUpdate", url.c_str(), target.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    const QList<QByteArray> lines = contents(output).trimmed().split('\n');
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().contains(R"("type":"error")")) << lines.last().toStdString();
    EXPECT_TRUE(lines.last().contains("save file failed")) << lines.last().toStdString();
    int finals = 0;
    for (const QByteArray& line : lines)
        finals += !line.contains("progress") && line.startsWith('{');
    EXPECT_EQ(finals, 1);
    EXPECT_FALSE(QFileInfo::exists(m_folder.filePath("full")));
}

}  // namespace
