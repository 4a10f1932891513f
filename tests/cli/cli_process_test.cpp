// pellanor-cli as another copy of the program: shared values pass between processes and die
// with the last process holding them, and the CLI's own arguments carry the language override.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "system/shared_values.h"
#include "tests/platform/scoped_environment.h"
#include "tests/util/log_capture.h"

namespace pellanor::system {
namespace {

// Runs with a private home, and with segment key files in a private temporary folder that this
// process uses too, so that the two find the same segments and nothing is left in /tmp.
class CliProcess : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid());
        ASSERT_TRUE(QDir(m_home.path()).mkpath(QStringLiteral("tmp")));
        m_environment.set("TMPDIR", m_home.filePath(QStringLiteral("tmp")).toStdString());
    }

    // The CLI's one line of output, a JSON value.
    QString cli(const QStringList& arguments) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"HOME", "APPDATA", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "PELLANOR_REGISTRY_DIR"}) {
            environment.insert(QLatin1String(name), m_home.filePath(QLatin1String(name)));
        }
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(PELLANOR_CLI), arguments);
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return QStringLiteral("(no answer)");
        }
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    QString uniqueKey() const { return QDir(m_home.path()).dirName(); }
    QString homeFile(const QString& name) const { return m_home.filePath(name); }

private:
    QTemporaryDir m_home;
    test_support::ScopedEnvironment m_environment;
    test_support::LogCapture m_log;
};

TEST_F(CliProcess, SharesAValueAndRefusesOneTooLongForTheHoldersSegment) {
    const QString key = uniqueKey();
    ASSERT_TRUE(setSharedMemoryValue(key, QStringLiteral("short")));
    EXPECT_EQ(cli({QStringLiteral("getSharedMemoryValue"), key}), QStringLiteral("\"short\""));
    // The setting process reads through the segment it holds.
    EXPECT_EQ(getSharedMemoryValue(key), QStringLiteral("short"));

    const QString longer = QStringLiteral("a value far longer than the segment holds");
    EXPECT_EQ(cli({QStringLiteral("setSharedMemoryValue"), key, longer}), QStringLiteral("false"));
    EXPECT_EQ(cli({QStringLiteral("getSharedMemoryValue"), key}), QStringLiteral("\"short\""));
    EXPECT_EQ(getSharedMemoryValue(key), QStringLiteral("short"));

    // Alone with its segment, the setter takes a longer value in a segment of the new size.
    ASSERT_TRUE(setSharedMemoryValue(key, longer));
    EXPECT_EQ(cli({QStringLiteral("getSharedMemoryValue"), key}), QLatin1Char('"') + longer + '"');
    EXPECT_EQ(getSharedMemoryValue(QStringLiteral("nobody-set-") + key), QString());
}

TEST_F(CliProcess, AValueEndsWithTheProcessThatSetIt) {
    const QString key = uniqueKey();
    EXPECT_EQ(cli({QStringLiteral("setSharedMemoryValue"), key, QStringLiteral("v")}),
              QStringLiteral("true"));
    EXPECT_EQ(getSharedMemoryValue(key), QString());
    EXPECT_EQ(cli({QStringLiteral("getSharedMemoryValue"), key}), QStringLiteral("\"\""));
}

TEST_F(CliProcess, TakesTheLanguageFromTheFirstTokenOfItsOwnArguments) {
    EXPECT_EQ(cli({QStringLiteral("language"), QStringLiteral("LANG=d-de"),
                   QStringLiteral("/LANG=de-de"), QStringLiteral("LANG=fr-fr")}),
              QStringLiteral("\"de-de\""));
}

// A list too long for a command line comes from a file; "@@" keeps a leading '@' as text.
TEST_F(CliProcess, ReadsAnArgumentFromAFile) {
    const QString list = homeFile(QStringLiteral("list.json"));
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"(["a ,b"])");
    file.close();
    EXPECT_EQ(cli({QStringLiteral("toBase64Str"), QStringLiteral("@@x")}),
              QStringLiteral("\"QHg=\""));
    EXPECT_EQ(cli({QStringLiteral("toBase64Str"), "@" + list}), QStringLiteral("\"WyJhICxiIl0=\""));
    EXPECT_EQ(cli({QStringLiteral("toBase64Str"), QStringLiteral("@/no/such/file")}), QString());
}

}  // namespace
}  // namespace pellanor::system
