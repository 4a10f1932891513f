// The device id: its formula on stand-in facts, and the board serial read through a "wmic"
// that the test puts first on PATH, including one that never ends.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSysInfo>
#include <QTemporaryDir>

#include <signal.h>

#include "net/device_identity.h"
#include "tests/net/net_test_support.h"

namespace {

using pellanor::net::clientIdFrom;
using pellanor::net::DeviceFacts;
using namespace pellanor::test_support;

TEST(ClientId, IsSixteenDigitsOfTheFactsDigestWithXForZero) {
    const struct {
        DeviceFacts facts;
        const char* expected;
    } cases[] = {
        {{"SN1", "BOARD-42", "00:1A:2B:3C:4D:5E"}, "42A2672CDC6X55A9"},
        {{"", "BOARD-42", ""}, "5D647BX6FDFC6X7F"},  // missing facts leave empty fields
        {{" S1 ", "", ""}, "EE4DFX4C14B4A516"},      // facts are taken as read
        {{"", "", ""}, "374B51CBXBXACD73"},          // the host name stands in for them all
    };
    for (const auto& c : cases) {
        const QString id = clientIdFrom(c.facts, "build-host");
        EXPECT_EQ(id, c.expected);
        EXPECT_EQ(id.size(), 16);
        EXPECT_FALSE(id.contains('0'));
    }
}

class FakeWmic : public ::testing::Test {
protected:
    void SetUp() override {
        privateHome();
        ASSERT_TRUE(m_bin.isValid());
    }
    void install(const QByteArray& body) {
        QFile script(m_bin.filePath("wmic"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$$\" >> '" + m_bin.filePath("runs").toUtf8() + "'\n" +
                     body);
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
    }
    QStringList runs() const {
        QFile file(m_bin.filePath("runs"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    QString cliClientId() {
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH", m_bin.path() + ':' + environment.value("PATH"));
        cli.setProcessEnvironment(environment);
        cli.start(PELLANOR_CLI, {"getClientId"});
        if (!cli.waitForFinished(20000)) return {};
        return QString::fromUtf8(cli.readAllStandardOutput()).trimmed().remove('"');
    }
    static DeviceFacts factsWithBoard(const QString& board) {
        return {pellanor::net::readDiskSerial(), board, pellanor::net::readHardwareAddress()};
    }

    QTemporaryDir m_bin;
};

TEST_F(FakeWmic, GivesTheBoardSerialUnderItsHeaderToTheId) {
    install("printf 'SerialNumber  \\r\\r\\n\\r\\r\\n  BOARD-42  \\r\\r\\n\\r\\r\\n'\n");
    const QString id = cliClientId();
    EXPECT_EQ(id, clientIdFrom(factsWithBoard("BOARD-42"), QSysInfo::machineHostName()));
    EXPECT_EQ(cliClientId(), id) << "the same machine gives the same id in every run";
}

TEST_F(FakeWmic, ThatNeverEndsIsKilledAndLeavesTheBoardFieldEmpty) {
    install("exec sleep 60\n");
    QElapsedTimer clock;
    clock.start();
    const QString id = cliClientId();
    EXPECT_LT(clock.elapsed(), 9000);
    EXPECT_EQ(id, clientIdFrom(factsWithBoard(""), QSysInfo::machineHostName()));
    ASSERT_EQ(runs().size(), 1);
    EXPECT_NE(kill(runs().first().toInt(), 0), 0) << "the hung tool is gone";
}

TEST_F(FakeWmic, IsAskedOnlyByTheFirstCallOfAProcess) {
    install("printf 'SerialNumber\\nB7\\n'\n");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", m_bin.path().toUtf8() + ':' + path);
    const QString first = pellanor::net::getClientId();
    const QString second = pellanor::net::getClientId();
    qputenv("PATH", path);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, clientIdFrom(factsWithBoard("B7"), QSysInfo::machineHostName()));
    EXPECT_EQ(runs().size(), 1);
}

}  // namespace
